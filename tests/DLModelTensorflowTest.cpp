// Graph loading, sessions and tensors of DLModelTensorflow against the real
// TensorFlow library, with graphs made by the graph tool as the tests run: the
// exact messages of every refusal, and runs. What only a call log can show is
// in TensorflowCallOrderTest.
#include "framework/DLModelTensorflow.h"
#include "framework/TensorflowGuards.h"
#include "platform/core/File.h"
#include "tests/ErrorOf.h"
#include "tests/HostFixture.h"
#include "tests/ScratchDirectory.h"
#include "tests/TensorflowHandles.h"
#include "tools/GraphWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace
{

using pcl::DLModelTensorflow;
using project_pelk::graphs::GraphKind;
using project_pelk::graphs::MakeGraphDef;
namespace tf = project_pelk::tensorflow;

const char* const WeightsName = "Velqora_weights_v2.pb";
const std::string LoadFailureLine = "\x1b[31mUnable to load graph definition from /opt/PixInsight/bin/!\x1b[39m";
const pcl::String Inference = "Velqora TensorFlow inference failed";

// ---------------------------------------------------------------- loading

class LoadModel : public HostTest
{
protected:
   ScratchDirectory scratch;
   DLModelTensorflow model;
};

TEST_F( LoadModel, TakesTheBareNameFromTheWorkingDirectory )
{
   scratch.Write( WeightsName, MakeGraphDef( GraphKind::Identity ) );
   WorkingDirectory cwd( scratch.Path() );
   tf::SessionGuard guard;
   guard.graph = model.LoadModel( WeightsName );
   ASSERT_NE( guard.graph, nullptr );
   EXPECT_NE( TF_GraphOperationByName( guard.graph, "Identity" ), nullptr );
   EXPECT_TRUE( ConsoleLines().empty() );
}

TEST_F( LoadModel, FailureWritesTheConsoleLineAndRethrowsTheErrorUnchanged )
{
   // The platform's own error for the missing file of the base path.
   const std::string missing = "/opt/PixInsight/bin/Velqora_weights_v1.pb: Unable to open file: No such file or directory";
   EXPECT_EQ( ErrorOf( [] { pcl::File::ReadFile( "/opt/PixInsight/bin/Velqora_weights_v1.pb" ); } ), missing );
   const struct
   {
      const char* name;
      std::function<void( const ScratchDirectory& )> setUp;
      std::string message;
   } cases[] = {
      { WeightsName, // a directory of the name is passed over for the base path
        []( const ScratchDirectory& s ) { std::filesystem::create_directory( s.Path() / WeightsName ); },
        "/opt/PixInsight/bin/Velqora_weights_v2.pb: Unable to open file: No such file or directory" },
      { "Velqora_weights_v1.pb", []( const ScratchDirectory& ) {}, missing },
      { "", []( const ScratchDirectory& ) {}, "Invalid or empty file name" },
      { WeightsName, []( const ScratchDirectory& s ) { s.Write( WeightsName, "this is not a graph" ); },
        "KestrimEngine::LoadGraphDef(): Unable to load graph definition: Invalid GraphDef" },
      // TensorFlow's import crashes on 2 GiB; a sparse file has the size unread.
      { WeightsName,
        []( const ScratchDirectory& s ) { std::filesystem::resize_file( s.Write( WeightsName, "" ), 1ull << 31 ); },
        "Velqora_weights_v2.pb: File too large for a TensorFlow graph: 2147483648 bytes (limit 2147483647)." },
   };
   for ( const auto& c : cases )
   {
      ScratchDirectory dir;
      c.setUp( dir );
      WorkingDirectory cwd( dir.Path() );
      HostConsole().ClearTranscript();
      EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow().LoadModel( c.name ); } ), c.message );
      EXPECT_EQ( ConsoleLines(), std::vector<std::string>{ LoadFailureLine } ) << c.message;
   }
}

// ---------------------------------------------------------------- status

TEST( CheckStatus, NamesTheContext )
{
   UniqueStatus status( TF_NewStatus() );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CheckStatus( status.get(), "Context" ); } ), "no error" );
   TF_SetStatus( status.get(), TF_INVALID_ARGUMENT, "it broke" );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CheckStatus( status.get(), "Context" ); } ), "Context: it broke" );
   EXPECT_EQ( ErrorOf( [] { DLModelTensorflow::CheckStatus( nullptr, "Context" ); } ),
              "Context: TensorFlow status object is null." );
}

// ---------------------------------------------------------------- operations

TEST( RequireOperation, FirstOutputOrMessage )
{
   ScratchDirectory scratch;
   tf::SessionGuard empty; // an empty file imports as a graph without operations
   empty.graph = DLModelTensorflow::LoadGraphDef( scratch.Write( "empty.pb", "" ).string().c_str() );
   UniqueGraph noIntro = ImportDirectly( GraphKind::NoIntro );
   UniqueGraph noIdentity = ImportDirectly( GraphKind::NoIdentity );
   const struct
   {
      TF_Graph* graph;
      const char* name;
      const char* message;
   } cases[] = {
      { nullptr, "intro", "TensorFlow graph is null." },
      { empty.graph, "intro", "TensorFlow graph does not contain required operation: intro" },
      { noIntro.get(), "intro", "TensorFlow graph does not contain required operation: intro" },
      { noIdentity.get(), "Identity", "TensorFlow graph does not contain required operation: Identity" },
      { noIntro.get(), "Identity", "no error" },
   };
   for ( const auto& c : cases )
      EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RequireOperation( c.graph, c.name ); } ), c.message );
   const TF_Output output = DLModelTensorflow::RequireOperation( noIntro.get(), "Identity" );
   EXPECT_EQ( output.oper, TF_GraphOperationByName( noIntro.get(), "Identity" ) );
   EXPECT_EQ( output.index, 0 );
}

// ---------------------------------------------------------------- sessions

TEST( CreateSession, Messages )
{
   UniqueGraph graph = ImportDirectly( GraphKind::Identity );
   UniqueSessionOptions options( TF_NewSessionOptions() );
   UniqueStatus status( TF_NewStatus() );
   auto create = []( TF_Graph* g, TF_SessionOptions* o, TF_Status* st ) {
      return ErrorOf( [&] { UniqueSession session( DLModelTensorflow::CreateSession( g, o, st ) ); } );
   };
   EXPECT_EQ( create( nullptr, options.get(), status.get() ), "Cannot create TensorFlow session for a null graph." );
   EXPECT_EQ( create( graph.get(), nullptr, status.get() ), "Cannot create TensorFlow session with null options." );
   // The missing status is reported before the missing session.
   EXPECT_EQ( create( graph.get(), options.get(), nullptr ),
              "TensorFlow session creation failed: TensorFlow status object is null." );
   EXPECT_EQ( create( graph.get(), options.get(), status.get() ), "no error" );
   EXPECT_TRUE( tf::IsOk( status.get() ) );

   TF_SetTarget( options.get(), "bogus://nowhere" );
   UniqueStatus reference( TF_NewStatus() );
   UniqueSession none( TF_NewSession( graph.get(), options.get(), reference.get() ) );
   ASSERT_EQ( none, nullptr );
   ASSERT_FALSE( tf::IsOk( reference.get() ) );
   EXPECT_EQ( create( graph.get(), options.get(), status.get() ),
              std::string( "TensorFlow session creation failed: " ) + TF_Message( reference.get() ) );
}

// ---------------------------------------------------------------- tensors

TEST( CreateTensor, RefusalsHaveOneMessage )
{
   const std::vector<int64_t> dims = TileDims();
   const std::vector<float> data( 16 );
   const char* const refusal = "KestrimEngine::CreateTensor(): Failure to allocate tensor from input data.";
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateTensor( TF_FLOAT, dims.data(), 0, data.data(), 4 ); } ), refusal );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateTensor( TF_FLOAT, dims.data(), 1, nullptr, 4 ); } ), refusal );
   // TensorFlow itself refuses a length short of the dimensions.
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateTensor( TF_FLOAT, dims.data(), 4, data.data(), 64 ); } ), refusal );
}

// ---------------------------------------------------------------- runs

// The objects of one execution, held as the denoise model holds them.
class RunSession : public ::testing::Test
{
protected:
   void SetUp() override
   {
      guard.graph = ImportDirectly( GraphKind::Identity ).release();
      guard.options = TF_NewSessionOptions();
      guard.status = TF_NewStatus();
      input = DLModelTensorflow::RequireOperation( guard.graph, "intro" );
      output = DLModelTensorflow::RequireOperation( guard.graph, "Identity" );
      guard.session = DLModelTensorflow::CreateSession( guard.graph, guard.options, guard.status );
   }

   static TF_Tensor* Tile( const std::vector<float>& values )
   {
      const std::vector<int64_t> dims = TileDims();
      return DLModelTensorflow::CreateTensor( TF_FLOAT, dims.data(), 4, values.data(), values.size() * sizeof( float ) );
   }

   tf::SessionGuard guard;
   TF_Output input{};
   TF_Output output{};
};

TEST_F( RunSession, IdentityReturnsTheInputBitForBit )
{
   const std::vector<float> values = TilePattern( TileElements() );
   tf::TensorGuard in( Tile( values ) );
   tf::TensorGuard out( nullptr );
   DLModelTensorflow::RunSession( guard.session, &input, in.Out(), &output, out.Out(), guard.status, Inference );
   ASSERT_NE( out.Get(), nullptr );
   EXPECT_EQ( TF_TensorType( out.Get() ), TF_FLOAT );
   ASSERT_EQ( TF_TensorByteSize( out.Get() ), values.size() * sizeof( float ) );
   EXPECT_EQ( std::memcmp( TF_TensorData( out.Get() ), values.data(), values.size() * sizeof( float ) ), 0 );
}

TEST_F( RunSession, Messages )
{
   tf::TensorGuard in( Tile( std::vector<float>( TileElements() ) ) ), none( nullptr ), out( nullptr );
   TF_Session* const s = guard.session;
   TF_Status* const st = guard.status;
   auto run = []( TF_Session* session, const TF_Output* i, TF_Tensor** iv, const TF_Output* o, TF_Tensor** ov,
                  TF_Status* status ) {
      return ErrorOf( [&] { DLModelTensorflow::RunSession( session, i, iv, o, ov, status, Inference ); } );
   };
   const std::string failed = "Velqora TensorFlow inference failed: TensorFlow ";
   EXPECT_EQ( run( nullptr, nullptr, nullptr, nullptr, nullptr, nullptr ), failed + "session is null." );
   EXPECT_EQ( run( s, nullptr, in.Out(), &output, out.Out(), st ), failed + "operation handle is null." );
   EXPECT_EQ( run( s, &input, in.Out(), nullptr, out.Out(), st ), failed + "operation handle is null." );
   EXPECT_EQ( run( s, &input, nullptr, &output, out.Out(), st ), failed + "input tensor is null." );
   EXPECT_EQ( run( s, &input, none.Out(), &output, out.Out(), st ), failed + "input tensor is null." );
   EXPECT_EQ( run( s, &input, in.Out(), &output, nullptr, st ), failed + "output tensor handle is null." );
   EXPECT_EQ( run( s, &input, in.Out(), &output, out.Out(), nullptr ), failed + "status object is null." );
   EXPECT_EQ( out.Get(), nullptr );

   const std::vector<int64_t> dims = TileDims();
   const std::vector<double> doubles( TileElements() );
   tf::TensorGuard wrong( DLModelTensorflow::CreateTensor( TF_DOUBLE, dims.data(), 4, doubles.data(),
                                                           doubles.size() * sizeof( double ) ) );
   EXPECT_EQ( run( s, &input, wrong.Out(), &output, out.Out(), st ),
              "Velqora TensorFlow inference failed: Expects arg[0] to be float but double is provided" );
}

} // namespace

// Graph loading, sessions and tensors of DLModelTensorflow against the real
// TensorFlow library, with graphs made by the graph tool as the tests run.
#include "framework/DLModelTensorflow.h"
#include "framework/TensorflowGuards.h"
#include "platform/Exception.h"
#include "platform/File.h"
#include "tests/HostFixture.h"
#include "tests/ScratchDirectory.h"
#include "tests/TensorflowHandles.h"
#include "tools/GraphWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace
{

using pcl::DLModelTensorflow;
using pcl::Error;
using pcl::String;
using project_pelk::graphs::GraphKind;
using project_pelk::graphs::MakeGraphDef;
namespace tf = project_pelk::tensorflow;

const char* const WeightsName = "Velqora_weights_v2.pb";
const std::string LoadFailureLine = "\x1b[31mUnable to load graph definition from /opt/PixInsight/bin/!\x1b[39m";
const String Inference = "Velqora TensorFlow inference failed";

std::string Text( const String& s )
{
   return s.ToStdUTF8();
}

// The message of the Error that a call throws; fails the test when it throws none.
template <class F>
std::string ErrorOf( F&& call )
{
   try
   {
      call();
   }
   catch ( const Error& e )
   {
      return Text( e.Message() );
   }
   ADD_FAILURE() << "no pcl::Error thrown";
   return {};
}

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
   EXPECT_NE( TF_GraphOperationByName( guard.graph, "intro" ), nullptr );
   EXPECT_NE( TF_GraphOperationByName( guard.graph, "Identity" ), nullptr );
   EXPECT_TRUE( ConsoleLines().empty() );
}

TEST_F( LoadModel, TakesAnAbsolutePath )
{
   const std::filesystem::path path = scratch.Write( WeightsName, MakeGraphDef( GraphKind::Affine ) );
   tf::SessionGuard guard;
   guard.graph = model.LoadModel( path.string().c_str() );
   ASSERT_NE( guard.graph, nullptr );
   EXPECT_NE( TF_GraphOperationByName( guard.graph, "mul" ), nullptr );
}

TEST_F( LoadModel, PassesOverADirectoryOfTheNameToTheBasePath )
{
   std::filesystem::create_directory( scratch.Path() / WeightsName );
   WorkingDirectory cwd( scratch.Path() );
   EXPECT_EQ( ErrorOf( [&] { model.LoadModel( WeightsName ); } ),
              "/opt/PixInsight/bin/Velqora_weights_v2.pb: Unable to open file: No such file or directory" );
   EXPECT_EQ( ConsoleLines(), std::vector<std::string>{ LoadFailureLine } );
}

TEST_F( LoadModel, MissingFileRethrowsThePlatformErrorOfTheBasePath )
{
   WorkingDirectory cwd( scratch.Path() );
   const std::string expected = ErrorOf( [] { pcl::File::ReadFile( "/opt/PixInsight/bin/Velqora_weights_v1.pb" ); } );
   EXPECT_EQ( ErrorOf( [&] { model.LoadModel( "Velqora_weights_v1.pb" ); } ), expected );
   EXPECT_EQ( expected, "/opt/PixInsight/bin/Velqora_weights_v1.pb: Unable to open file: No such file or directory" );
   EXPECT_EQ( ConsoleLines(), std::vector<std::string>{ LoadFailureLine } );
}

TEST_F( LoadModel, EmptyNameRethrowsThePlatformError )
{
   EXPECT_EQ( ErrorOf( [&] { model.LoadModel( "" ); } ), "Invalid or empty file name" );
   EXPECT_EQ( ConsoleLines(), std::vector<std::string>{ LoadFailureLine } );
}

TEST_F( LoadModel, RejectedFileRethrowsTheImportError )
{
   scratch.Write( WeightsName, "this is not a graph" );
   WorkingDirectory cwd( scratch.Path() );
   EXPECT_EQ( ErrorOf( [&] { model.LoadModel( WeightsName ); } ),
              "KestrimEngine::LoadGraphDef(): Unable to load graph definition: Invalid GraphDef" );
   EXPECT_EQ( ConsoleLines(), std::vector<std::string>{ LoadFailureLine } );
}

class LoadEachGraph : public ::testing::TestWithParam<GraphKind>
{
};

TEST_P( LoadEachGraph, ImportsWithItsOperationNames )
{
   ScratchDirectory scratch;
   const std::filesystem::path path = scratch.Write( "graph.pb", MakeGraphDef( GetParam() ) );
   tf::SessionGuard guard;
   guard.graph = DLModelTensorflow::LoadGraphDef( path.string().c_str() );
   ASSERT_NE( guard.graph, nullptr );
   EXPECT_EQ( TF_GraphOperationByName( guard.graph, "intro" ) != nullptr, GetParam() != GraphKind::NoIntro );
   EXPECT_EQ( TF_GraphOperationByName( guard.graph, "Identity" ) != nullptr, GetParam() != GraphKind::NoIdentity );
}

INSTANTIATE_TEST_SUITE_P( AllKinds, LoadEachGraph, EveryGraphKind(), GraphKindTestName );

TEST( LoadGraphDef, RejectedFileThrowsTensorFlowsReason )
{
   ScratchDirectory scratch;
   const std::string junk = "\x0a\x05garbage that is not a GraphDef";
   const std::filesystem::path path = scratch.Write( "junk.pb", junk );
   UniqueBuffer buffer( TF_NewBufferFromString( junk.data(), junk.size() ) );
   UniqueStatus status( TF_NewStatus() );
   UniqueGraph rejected( tf::ImportGraphDef( buffer.get(), status.get() ) );
   ASSERT_EQ( rejected, nullptr );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::LoadGraphDef( path.string().c_str() ); } ),
              std::string( "KestrimEngine::LoadGraphDef(): Unable to load graph definition: " ) + TF_Message( status.get() ) );
}

TEST( LoadGraphDef, EmptyFileImportsAsAGraphWithoutOperations )
{
   ScratchDirectory scratch;
   const std::filesystem::path path = scratch.Write( "empty.pb", "" );
   tf::SessionGuard guard;
   guard.graph = DLModelTensorflow::LoadGraphDef( path.string().c_str() );
   ASSERT_NE( guard.graph, nullptr );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RequireOperation( guard.graph, "intro" ); } ),
              "TensorFlow graph does not contain required operation: intro" );
}

TEST( ReadBufferFromFile, HandsOverTheWholeFile )
{
   ScratchDirectory scratch;
   const std::string bytes = MakeGraphDef( GraphKind::BoxFilter );
   const std::filesystem::path path = scratch.Write( "box.pb", bytes );
   tf::BufferGuard buffer( DLModelTensorflow::ReadBufferFromFile( path.string().c_str() ) );
   ASSERT_NE( buffer.Get(), nullptr );
   ASSERT_EQ( buffer.Get()->length, bytes.size() );
   EXPECT_EQ( std::memcmp( buffer.Get()->data, bytes.data(), bytes.size() ), 0 );
   EXPECT_EQ( buffer.Get()->data_deallocator, &DLModelTensorflow::DeallocateBuffer );
}

TEST( ReadBufferFromFile, EmptyFileGivesAnEmptyBuffer )
{
   ScratchDirectory scratch;
   const std::filesystem::path path = scratch.Write( "empty.pb", "" );
   tf::BufferGuard buffer( DLModelTensorflow::ReadBufferFromFile( path.string().c_str() ) );
   ASSERT_NE( buffer.Get(), nullptr );
   EXPECT_EQ( buffer.Get()->length, 0u );
   EXPECT_EQ( buffer.Get()->data, nullptr );
}

TEST( ReadBufferFromFile, MissingFileThrowsThePlatformError )
{
   ScratchDirectory scratch;
   const String path = ( scratch.Path() / "none.pb" ).string().c_str();
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::ReadBufferFromFile( path ); } ),
              ErrorOf( [&] { pcl::File::ReadFile( path ); } ) );
}

// ---------------------------------------------------------------- status

TEST( CheckStatus, NullStatusNamesTheContext )
{
   EXPECT_EQ( ErrorOf( [] { DLModelTensorflow::CheckStatus( nullptr, "Context" ); } ),
              "Context: TensorFlow status object is null." );
}

TEST( CheckStatus, FailedStatusGivesTheContextAndTensorFlowsMessage )
{
   UniqueStatus status( TF_NewStatus() );
   TF_SetStatus( status.get(), TF_INVALID_ARGUMENT, "it broke" );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CheckStatus( status.get(), "Context" ); } ), "Context: it broke" );
}

TEST( CheckStatus, OkStatusPasses )
{
   UniqueStatus status( TF_NewStatus() );
   EXPECT_NO_THROW( DLModelTensorflow::CheckStatus( status.get(), "Context" ) );
}

// ---------------------------------------------------------------- operations

TEST( RequireOperation, NullGraph )
{
   EXPECT_EQ( ErrorOf( [] { DLModelTensorflow::RequireOperation( nullptr, "intro" ); } ), "TensorFlow graph is null." );
}

TEST( RequireOperation, GraphWithoutIntro )
{
   UniqueGraph graph = ImportDirectly( GraphKind::NoIntro );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RequireOperation( graph.get(), "intro" ); } ),
              "TensorFlow graph does not contain required operation: intro" );
}

TEST( RequireOperation, GraphWithoutIdentity )
{
   UniqueGraph graph = ImportDirectly( GraphKind::NoIdentity );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RequireOperation( graph.get(), "Identity" ); } ),
              "TensorFlow graph does not contain required operation: Identity" );
}

TEST( RequireOperation, GivesTheFirstOutput )
{
   UniqueGraph graph = ImportDirectly( GraphKind::Identity );
   const TF_Output output = DLModelTensorflow::RequireOperation( graph.get(), "Identity" );
   EXPECT_EQ( output.oper, TF_GraphOperationByName( graph.get(), "Identity" ) );
   EXPECT_EQ( output.index, 0 );
}

// ---------------------------------------------------------------- sessions

class CreateSession : public ::testing::Test
{
protected:
   UniqueGraph graph = ImportDirectly( GraphKind::Identity );
   UniqueSessionOptions options{ TF_NewSessionOptions() };
   UniqueStatus status{ TF_NewStatus() };
};

TEST_F( CreateSession, NullGraph )
{
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateSession( nullptr, options.get(), status.get() ); } ),
              "Cannot create TensorFlow session for a null graph." );
}

TEST_F( CreateSession, NullOptions )
{
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateSession( graph.get(), nullptr, status.get() ); } ),
              "Cannot create TensorFlow session with null options." );
}

TEST_F( CreateSession, NullStatusIsReportedBeforeTheMissingSession )
{
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateSession( graph.get(), options.get(), nullptr ); } ),
              "TensorFlow session creation failed: TensorFlow status object is null." );
}

TEST_F( CreateSession, TensorFlowFailureGivesItsMessage )
{
   TF_SetTarget( options.get(), "bogus://nowhere" );
   UniqueStatus reference( TF_NewStatus() );
   UniqueSession none( TF_NewSession( graph.get(), options.get(), reference.get() ) );
   ASSERT_EQ( none, nullptr );
   ASSERT_NE( TF_GetCode( reference.get() ), TF_OK );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateSession( graph.get(), options.get(), status.get() ); } ),
              std::string( "TensorFlow session creation failed: " ) + TF_Message( reference.get() ) );
}

TEST_F( CreateSession, MakesASession )
{
   UniqueSession session( DLModelTensorflow::CreateSession( graph.get(), options.get(), status.get() ) );
   EXPECT_NE( session, nullptr );
   EXPECT_EQ( TF_GetCode( status.get() ), TF_OK );
}

// ---------------------------------------------------------------- tensors

TEST( CreateTensor, NoDimensions )
{
   const int64_t dims[] = { 1 };
   const float data[] = { 1 };
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateTensor( TF_FLOAT, dims, 0, data, sizeof data ); } ),
              "KestrimEngine::CreateTensor(): Failure to allocate tensor from input data." );
}

TEST( CreateTensor, NoData )
{
   const int64_t dims[] = { 1 };
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateTensor( TF_FLOAT, dims, 1, nullptr, 4 ); } ),
              "KestrimEngine::CreateTensor(): Failure to allocate tensor from input data." );
}

TEST( CreateTensor, LengthShortOfTheDimensions )
{
   const std::vector<int64_t> dims = TileDims();
   const std::vector<float> data( 16 );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateTensor( TF_FLOAT, dims.data(), 4, data.data(), 16 * sizeof( float ) ); } ),
              "KestrimEngine::CreateTensor(): Failure to allocate tensor from input data." );
}

TEST( CreateTensor, HoldsACopyOfTheBatch )
{
   const std::vector<int64_t> dims = TileDims();
   const std::vector<float> data = TilePattern( TileElements() );
   tf::TensorGuard tensor( DLModelTensorflow::CreateTensor( TF_FLOAT, dims.data(), 4, data.data(), data.size() * sizeof( float ) ) );
   ASSERT_EQ( TF_TensorByteSize( tensor.Get() ), data.size() * sizeof( float ) );
   EXPECT_NE( TF_TensorData( tensor.Get() ), static_cast<const void*>( data.data() ) );
   EXPECT_EQ( std::memcmp( TF_TensorData( tensor.Get() ), data.data(), data.size() * sizeof( float ) ), 0 );
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

TEST_F( RunSession, EveryArgumentNullReportsTheSession )
{
   EXPECT_EQ( ErrorOf( [] { DLModelTensorflow::RunSession( nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, Inference ); } ),
              "Velqora TensorFlow inference failed: TensorFlow session is null." );
}

TEST_F( RunSession, NullInputOperation )
{
   tf::TensorGuard in( Tile( std::vector<float>( TileElements() ) ) );
   tf::TensorGuard out( nullptr );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RunSession( guard.session, nullptr, in.Out(), &output, out.Out(), guard.status, Inference ); } ),
              "Velqora TensorFlow inference failed: TensorFlow operation handle is null." );
}

TEST_F( RunSession, NullOutputOperation )
{
   tf::TensorGuard in( Tile( std::vector<float>( TileElements() ) ) );
   tf::TensorGuard out( nullptr );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RunSession( guard.session, &input, in.Out(), nullptr, out.Out(), guard.status, Inference ); } ),
              "Velqora TensorFlow inference failed: TensorFlow operation handle is null." );
}

TEST_F( RunSession, NullInputValues )
{
   tf::TensorGuard out( nullptr );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RunSession( guard.session, &input, nullptr, &output, out.Out(), guard.status, Inference ); } ),
              "Velqora TensorFlow inference failed: TensorFlow input tensor is null." );
}

TEST_F( RunSession, NullInputTensor )
{
   tf::TensorGuard in( nullptr );
   tf::TensorGuard out( nullptr );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RunSession( guard.session, &input, in.Out(), &output, out.Out(), guard.status, Inference ); } ),
              "Velqora TensorFlow inference failed: TensorFlow input tensor is null." );
}

TEST_F( RunSession, NullOutputValues )
{
   tf::TensorGuard in( Tile( std::vector<float>( TileElements() ) ) );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RunSession( guard.session, &input, in.Out(), &output, nullptr, guard.status, Inference ); } ),
              "Velqora TensorFlow inference failed: TensorFlow output tensor handle is null." );
}

TEST_F( RunSession, NullStatusDoesNotRun )
{
   tf::TensorGuard in( Tile( std::vector<float>( TileElements() ) ) );
   tf::TensorGuard out( nullptr );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RunSession( guard.session, &input, in.Out(), &output, out.Out(), nullptr, Inference ); } ),
              "Velqora TensorFlow inference failed: TensorFlow status object is null." );
   EXPECT_EQ( out.Get(), nullptr );
}

TEST_F( RunSession, FailedRunGivesTheContextAndTensorFlowsMessage )
{
   const std::vector<int64_t> dims = TileDims();
   const std::vector<double> values( TileElements() );
   tf::TensorGuard in( DLModelTensorflow::CreateTensor( TF_DOUBLE, dims.data(), 4, values.data(), values.size() * sizeof( double ) ) );
   tf::TensorGuard out( nullptr );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RunSession( guard.session, &input, in.Out(), &output, out.Out(), guard.status, Inference ); } ),
              "Velqora TensorFlow inference failed: Expects arg[0] to be float but double is provided" );
}

} // namespace

// The TensorFlow layer against a test double of the TensorFlow functions it
// uses, which holds it to TensorFlow's rules on handles (see FakeTensorflow.h):
// what must not be called for null handles, what is freed on every way out,
// and failures the real library cannot be made to produce.
#include "framework/DLModelTensorflow.h"
#include "framework/TensorflowGuards.h"
#include "tests/ErrorOf.h"
#include "tests/FakeTensorflow.h"
#include "tests/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{

using namespace project_pelk::tensorflow;
using pcl::DLModelTensorflow;
using Calls = std::vector<std::string>;

class CallOrder : public ::testing::Test
{
protected:
   // The check for handles left alive runs after the test's guards are gone.
   CallOrder() { fake_tf::Reset(); }
   ~CallOrder() override { fake_tf::Reset(); }

   // One case of a table, on a fresh double with its behaviour; a rule the
   // case breaks fails the test under the case's name.
   static void Case( const std::string& name, const fake_tf::Behaviour& behave, const std::function<void()>& run )
   {
      SCOPED_TRACE( name );
      fake_tf::Reset();
      fake_tf::Behave() = behave;
      run();
      fake_tf::Reset();
   }
};

// A session guard filled as its owner fills it, the log cleared; a session
// is made with the guard's status, or with `creation` where it has none.
void Fill( SessionGuard& guard, bool session, bool status, TF_Status* creation = nullptr )
{
   guard.graph = TF_NewGraph();
   guard.options = TF_NewSessionOptions();
   guard.status = status ? TF_NewStatus() : nullptr;
   if ( session )
      guard.session = TF_NewSession( guard.graph, guard.options, status ? guard.status : creation );
   fake_tf::Calls().clear();
}

// Each guard's handle is also freed on every path of the tests below, where
// the double finds any handle left alive.
TEST_F( CallOrder, GuardsFreeWhatTheyHold )
{
   const struct
   {
      const char* name;
      std::function<void()> run;
      Calls calls;
   } cases[] = {
      { "null handles",
        [] {
           TensorGuard tensor( nullptr );
           BufferGuard buffer( nullptr );
           SessionGuard session;
        },
        {} },
      { "session closed with the guard's status",
        [] {
           SessionGuard guard;
           Fill( guard, true, true );
        },
        {} },
      { "session without status: closed with a temporary one",
        [] {
           fake_tf::StatusHandle creation;
           SessionGuard guard;
           Fill( guard, true, false, creation.get() );
        },
        { "TF_NewStatus() -> status2" } },
      { "no status to be had: the session is left open, the rest freed",
        [] {
           fake_tf::StatusHandle creation;
           TF_Session* session = nullptr;
           {
              SessionGuard guard;
              Fill( guard, true, false, creation.get() );
              session = guard.session;
              fake_tf::Behave().newStatusFails = true;
           }
           TF_CloseSession( session, creation.get() ); // the test's to free
           TF_DeleteSession( session, creation.get() );
        },
        { "TF_NewStatus() -> null" } },
      { "no session: no temporary status",
        [] {
           SessionGuard guard;
           Fill( guard, false, true );
        },
        {} },
   };
   for ( const auto& c : cases )
      Case( c.name, {}, [&] {
         c.run();
         EXPECT_EQ( fake_tf::Calls(), c.calls );
      } );
}

TEST_F( CallOrder, CreateTensorCopiesNoMoreThanTheLengthOrTheTensorHolds )
{
   const int64_t dims[] = { 2, 3 };
   const float data[] = { 1, 2, 3 };
   const struct
   {
      fake_tf::Behaviour behave;
      int numDims;
      size_t length;
      const char* call;
      size_t copied; // bytes of data in the tensor; -1: no tensor
   } cases[] = {
      // The length goes to TensorFlow unchecked.
      { {}, 2, 8, "TF_AllocateTensor(1, [2,3], 8) -> tensor1", 8 },
      { { .tensorByteSize = 4 }, 1, 12, "TF_AllocateTensor(1, [2], 12) -> tensor1", 4 },
      { { .allocateTensorFails = true }, 1, 4, "TF_AllocateTensor(1, [2], 4) -> null", size_t( -1 ) },
      { { .tensorDataIsNull = true }, 1, 4, "TF_AllocateTensor(1, [2], 4) -> tensor1", size_t( -1 ) },
   };
   for ( const auto& c : cases )
      Case( c.call, c.behave, [&] {
         TensorGuard tensor( CreateTensor( TF_FLOAT, dims, c.numDims, data, c.length ) );
         EXPECT_EQ( fake_tf::Calls(), Calls{ c.call } );
         if ( c.copied == size_t( -1 ) )
         {
            EXPECT_EQ( tensor.Get(), nullptr );
            return;
         }
         const std::vector<unsigned char>& storage = fake_tf::TensorStorage( tensor.Get() );
         EXPECT_EQ( std::memcmp( storage.data(), data, c.copied ), 0 );
         for ( size_t i = c.copied; i < storage.size(); ++i )
            EXPECT_EQ( storage[i], 0xAA ) << "byte " << i << " written past the data";
      } );
}

TEST_F( CallOrder, LoadGraphDefFreesWhatItMadeOnEveryPath )
{
   ScratchDirectory scratch;
   const std::string path = scratch.Write( "weights.pb", "graph bytes" ).string();
   const std::string failed = "KestrimEngine::LoadGraphDef(): Unable to load graph definition: ";
   const struct
   {
      fake_tf::Behaviour behave;
      std::string message;
   } cases[] = {
      { {}, "no error" },
      { { .importFails = true }, failed + "fake import failure" },
      { { .newImportOptionsFails = true }, failed },
      { { .newGraphFails = true }, failed },
      { { .newStatusFails = true }, failed + "TensorFlow status object is null." },
      { { .newBufferFails = true }, "TensorFlow buffer allocation failed: buffer is null." },
   };
   for ( const auto& c : cases )
      Case( c.message, c.behave, [&] {
         TF_Graph* graph = nullptr;
         EXPECT_EQ( ErrorOf( [&] { graph = DLModelTensorflow::LoadGraphDef( path.c_str() ); } ), c.message );
         if ( graph != nullptr )
            TF_DeleteGraph( graph );
      } );
}

// A session that comes with a failed status is closed and deleted.
TEST_F( CallOrder, CreateSessionFailures )
{
   const struct
   {
      fake_tf::Behaviour behave;
      std::string message;
   } cases[] = {
      { { .newSessionGivesNull = true }, "session is null." },
      { { .newSessionFails = true }, "fake session failure" },
      { { .newSessionFailsWithSession = true }, "fake session failure" },
   };
   for ( const auto& c : cases )
      Case( c.message, c.behave, [&] {
         SessionGuard guard;
         Fill( guard, false, true );
         EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateSession( guard.graph, guard.options, guard.status ); } ),
                    "TensorFlow session creation failed: " + c.message );
      } );
}

// A session of the double with its operations and an input tensor, freed by
// guards; the log starts empty.
struct FakeSession
{
   FakeSession()
   {
      Fill( guard, true, true );
      input = { TF_GraphOperationByName( guard.graph, "intro" ), 0 };
      output = { TF_GraphOperationByName( guard.graph, "Identity" ), 0 };
      *in.Out() = TF_AllocateTensor( TF_FLOAT, dims, 1, 2 * sizeof( float ) );
      fake_tf::Calls().clear();
   }

   bool Run( TF_Tensor** result, TF_Status* status )
   {
      return RunSingleOutputSession( guard.session, &input, in.Out(), &output, result, status );
   }

   std::string RunError( TF_Tensor** result, TF_Status* status )
   {
      return ErrorOf( [&] { DLModelTensorflow::RunSession( guard.session, &input, in.Out(), &output, result, status, "Run" ); } );
   }

   SessionGuard guard;
   TensorGuard in{ nullptr };
   TF_Output input{};
   TF_Output output{};
   const int64_t dims[1] = { 2 };
};

TEST_F( CallOrder, NullArgumentsAreRefusedBeforeAnyCall )
{
   FakeSession s;
   BufferGuard buffer( TF_NewBuffer() );
   fake_tf::Calls().clear();
   TF_Graph* graph = s.guard.graph;
   TF_SessionOptions* options = s.guard.options;
   TF_Status* status = s.guard.status;
   TF_Session* session = s.guard.session;
   TF_Tensor* none = nullptr;
   TensorGuard result( nullptr );
   const float data[] = { 1, 2 };
   EXPECT_FALSE( IsOk( nullptr ) );
   EXPECT_STREQ( Message( nullptr ), "TensorFlow status object is null." );
   EXPECT_EQ( FindOperation( nullptr, "intro" ), nullptr );
   EXPECT_EQ( FindOperation( graph, nullptr ), nullptr );
   EXPECT_EQ( ImportGraphDef( nullptr, status ), nullptr );
   EXPECT_EQ( ImportGraphDef( buffer.Get(), nullptr ), nullptr );
   EXPECT_EQ( CreateSession( nullptr, options, status ), nullptr );
   EXPECT_EQ( CreateSession( graph, nullptr, status ), nullptr );
   EXPECT_EQ( CreateSession( graph, options, nullptr ), nullptr );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateSession( graph, options, nullptr ); } ),
              "TensorFlow session creation failed: TensorFlow status object is null." );
   EXPECT_EQ( CreateTensor( TF_FLOAT, nullptr, 1, data, sizeof data ), nullptr );
   EXPECT_EQ( CreateTensor( TF_FLOAT, s.dims, 0, data, sizeof data ), nullptr );
   EXPECT_EQ( CreateTensor( TF_FLOAT, s.dims, -3, data, sizeof data ), nullptr );
   EXPECT_EQ( CreateTensor( TF_FLOAT, s.dims, 1, nullptr, sizeof data ), nullptr );
   EXPECT_FALSE( RunSingleOutputSession( nullptr, &s.input, s.in.Out(), &s.output, result.Out(), status ) );
   EXPECT_FALSE( RunSingleOutputSession( session, nullptr, s.in.Out(), &s.output, result.Out(), status ) );
   EXPECT_FALSE( RunSingleOutputSession( session, &s.input, s.in.Out(), nullptr, result.Out(), status ) );
   // A missing array is not read for its first element.
   EXPECT_FALSE( RunSingleOutputSession( session, &s.input, nullptr, &s.output, result.Out(), status ) );
   EXPECT_FALSE( RunSingleOutputSession( session, &s.input, &none, &s.output, result.Out(), status ) );
   EXPECT_FALSE( s.Run( nullptr, status ) );
   EXPECT_FALSE( s.Run( result.Out(), nullptr ) );
   EXPECT_EQ( s.RunError( result.Out(), nullptr ), "Run: TensorFlow status object is null." );
   // The wrapper's own refusals.
   auto runError = [&]( TF_Session* session, const TF_Output* input, TF_Tensor** inputs, const TF_Output* output,
                        TF_Tensor** outputs ) {
      return ErrorOf( [&] { DLModelTensorflow::RunSession( session, input, inputs, output, outputs, status, "Run" ); } );
   };
   EXPECT_EQ( runError( nullptr, &s.input, s.in.Out(), &s.output, result.Out() ), "Run: TensorFlow session is null." );
   EXPECT_EQ( runError( session, nullptr, s.in.Out(), &s.output, result.Out() ), "Run: TensorFlow operation handle is null." );
   EXPECT_EQ( runError( session, &s.input, s.in.Out(), nullptr, result.Out() ), "Run: TensorFlow operation handle is null." );
   EXPECT_EQ( runError( session, &s.input, nullptr, &s.output, result.Out() ), "Run: TensorFlow input tensor is null." );
   EXPECT_EQ( runError( session, &s.input, &none, &s.output, result.Out() ), "Run: TensorFlow input tensor is null." );
   EXPECT_EQ( runError( session, &s.input, s.in.Out(), &s.output, nullptr ),
              "Run: TensorFlow output tensor handle is null." );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateSession( nullptr, options, status ); } ),
              "Cannot create TensorFlow session for a null graph." );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateSession( graph, nullptr, status ); } ),
              "Cannot create TensorFlow session with null options." );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateTensor( TF_FLOAT, s.dims, 1, nullptr, sizeof data ); } ),
              "KestrimEngine::CreateTensor(): Failure to allocate tensor from input data." );
   EXPECT_EQ( fake_tf::Calls(), Calls{} );
   EXPECT_TRUE( IsOk( status ) );
   EXPECT_EQ( result.Get(), nullptr );
}

// One input and one output, nothing else; the output tensor belongs to the
// caller, also when the run fails.
TEST_F( CallOrder, RunOutcomes )
{
   const struct
   {
      fake_tf::Behaviour behave;
      bool ok;
      const char* error;
      const char* result;
   } cases[] = {
      { {}, true, "no error", "tensor2" },
      { { .runWritesOutput = false }, false, "Run: TensorFlow output tensor is null.", "null" },
      { { .runFails = true }, false, "Run: fake run failure", "tensor2" },
   };
   for ( const auto& c : cases )
      for ( bool wrapper : { true, false } )
         Case( c.error, c.behave, [&] {
            FakeSession s;
            TensorGuard result( nullptr );
            if ( wrapper )
               EXPECT_EQ( s.Run( result.Out(), s.guard.status ), c.ok );
            else
               EXPECT_EQ( s.RunError( result.Out(), s.guard.status ), c.error );
            EXPECT_EQ( fake_tf::Label( result.Get() ), c.result );
            EXPECT_EQ( fake_tf::Calls(),
                       Calls{ "TF_SessionRun(session1, null, intro, tensor1, 1, Identity, 1, null, 0, null, status1)" } );
         } );
}

} // namespace

// The TensorFlow layer's calls, in order, seen through a test double of the
// TensorFlow functions it uses: what must not be called for null handles, the
// order in which guards free what they hold, and failures the real library
// cannot be made to produce.
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
using Failure = bool fake_tf::Behaviour::*;

class CallOrder : public ::testing::Test
{
protected:
   // The check for handles left alive runs after derived fixtures have
   // destroyed their guards.
   CallOrder() { fake_tf::Reset(); }
   ~CallOrder() override { fake_tf::Reset(); }

   // Handles made before the code under test runs, with the log cleared.
   template <class F>
   static auto Made( F make )
   {
      auto handle = make();
      fake_tf::ClearCalls();
      return handle;
   }
};

// ---------------------------------------------------------------- guards

TEST_F( CallOrder, GuardsFreeWhatTheyHoldInOrder )
{
   const int64_t dims[] = { 1 };
   const struct
   {
      const char* name;
      std::function<void()> run;
      Calls calls;
   } cases[] = {
      { "null tensor", [] { TensorGuard tensor( nullptr ); }, {} },
      { "tensor", [&] { TensorGuard tensor( Made( [&] { return TF_AllocateTensor( TF_FLOAT, dims, 1, 4 ); } ) ); },
        { "TF_DeleteTensor(tensor1)" } },
      { "tensor written into the slot",
        [] {
           TensorGuard output( nullptr );
           *output.Out() = Made( [] { return TF_AllocateTensor( TF_FLOAT, nullptr, 0, 4 ); } );
        },
        { "TF_DeleteTensor(tensor1)" } },
      { "null buffer", [] { BufferGuard buffer( nullptr ); }, {} },
      { "buffer", [] { BufferGuard buffer( Made( [] { return TF_NewBuffer(); } ) ); }, { "TF_DeleteBuffer(buffer1)" } },
      { "status", [] { StatusGuard status; }, { "TF_NewStatus() -> status1", "TF_DeleteStatus(status1)" } },
      { "no status",
        [] {
           fake_tf::Behave().newStatusFails = true;
           StatusGuard status;
           EXPECT_EQ( status.Get(), nullptr );
        },
        { "TF_NewStatus() -> null" } },
      { "import options", [] { ImportGraphDefOptionsGuard options; },
        { "TF_NewImportGraphDefOptions() -> importoptions1", "TF_DeleteImportGraphDefOptions(importoptions1)" } },
      { "no import options",
        [] {
           fake_tf::Behave().newImportOptionsFails = true;
           ImportGraphDefOptionsGuard options;
        },
        { "TF_NewImportGraphDefOptions() -> null" } },
      { "empty session guard", [] { SessionGuard guard; }, {} },
      { "full session guard: session first, status last",
        [] {
           SessionGuard guard;
           guard.graph = TF_NewGraph();
           guard.options = TF_NewSessionOptions();
           guard.status = TF_NewStatus();
           guard.session = TF_NewSession( guard.graph, guard.options, guard.status );
           fake_tf::ClearCalls();
        },
        { "TF_CloseSession(session1, status1)", "TF_DeleteSession(session1, status1)",
          "TF_DeleteSessionOptions(options1)", "TF_DeleteGraph(graph1)", "TF_DeleteStatus(status1)" } },
      { "session without status: one temporary status",
        [] {
           SessionGuard guard;
           guard.graph = TF_NewGraph();
           guard.options = TF_NewSessionOptions();
           TF_Status* creation = TF_NewStatus();
           guard.session = TF_NewSession( guard.graph, guard.options, creation );
           TF_DeleteStatus( creation );
           fake_tf::ClearCalls();
        },
        { "TF_NewStatus() -> status2", "TF_CloseSession(session1, status2)", "TF_DeleteSession(session1, status2)",
          "TF_DeleteStatus(status2)", "TF_DeleteSessionOptions(options1)", "TF_DeleteGraph(graph1)" } },
      { "no session: no temporary status",
        [] {
           SessionGuard guard;
           guard.graph = TF_NewGraph();
           guard.status = TF_NewStatus();
           fake_tf::ClearCalls();
        },
        { "TF_DeleteGraph(graph1)", "TF_DeleteStatus(status1)" } },
   };
   for ( const auto& c : cases )
   {
      fake_tf::Reset(); // also fails for a handle the previous case left alive
      c.run();
      EXPECT_EQ( fake_tf::Calls(), c.calls ) << c.name;
   }
}

TEST_F( CallOrder, SessionGuardWithoutAnyStatusLeavesTheSessionButFreesTheRest )
{
   TF_Status* creation = Made( [] { return TF_NewStatus(); } );
   TF_Session* session = nullptr;
   {
      SessionGuard guard;
      guard.graph = TF_NewGraph();
      guard.options = TF_NewSessionOptions();
      guard.session = session = TF_NewSession( guard.graph, guard.options, creation );
      fake_tf::ClearCalls();
      fake_tf::Behave().newStatusFails = true;
   }
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_NewStatus() -> null", "TF_DeleteSessionOptions(options1)",
                                         "TF_DeleteGraph(graph1)" } ) );
   // The session the guard could not close is the test's to free.
   TF_DeleteSession( session, creation );
   TF_DeleteStatus( creation );
}

// ---------------------------------------------------------------- wrappers

TEST_F( CallOrder, NullArgumentsCallNothing )
{
   TF_Graph* graph = Made( [] { return TF_NewGraph(); } );
   TF_SessionOptions* options = Made( [] { return TF_NewSessionOptions(); } );
   TF_Status* status = Made( [] { return TF_NewStatus(); } );
   TF_Buffer* buffer = Made( [] { return TF_NewBuffer(); } );
   const int64_t dims[] = { 2 };
   const float data[] = { 1, 2 };
   EXPECT_FALSE( IsOk( nullptr ) );
   EXPECT_STREQ( Message( nullptr ), "TensorFlow status object is null." );
   EXPECT_EQ( FindOperation( nullptr, "intro" ), nullptr );
   EXPECT_EQ( FindOperation( graph, nullptr ), nullptr );
   EXPECT_EQ( ImportGraphDef( nullptr, status ), nullptr );
   EXPECT_EQ( ImportGraphDef( buffer, nullptr ), nullptr );
   EXPECT_EQ( CreateSession( nullptr, options, status ), nullptr );
   EXPECT_EQ( CreateSession( graph, nullptr, status ), nullptr );
   EXPECT_EQ( CreateSession( graph, options, nullptr ), nullptr );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateSession( graph, options, nullptr ); } ),
              "TensorFlow session creation failed: TensorFlow status object is null." );
   EXPECT_EQ( CreateTensor( TF_FLOAT, nullptr, 1, data, sizeof data ), nullptr );
   EXPECT_EQ( CreateTensor( TF_FLOAT, dims, 0, data, sizeof data ), nullptr );
   EXPECT_EQ( CreateTensor( TF_FLOAT, dims, -3, data, sizeof data ), nullptr );
   EXPECT_EQ( CreateTensor( TF_FLOAT, dims, 1, nullptr, sizeof data ), nullptr );
   EXPECT_EQ( fake_tf::Calls(), Calls{} );
   EXPECT_TRUE( IsOk( status ) );
   TF_DeleteBuffer( buffer );
   TF_DeleteStatus( status );
   TF_DeleteSessionOptions( options );
   TF_DeleteGraph( graph );
}

TEST_F( CallOrder, FindOperationAsksTheGraph )
{
   TF_Graph* graph = Made( [] { return TF_NewGraph(); } );
   EXPECT_EQ( fake_tf::Label( FindOperation( graph, "intro" ) ), "intro" );
   EXPECT_EQ( FindOperation( graph, "missing" ), nullptr );
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_GraphOperationByName(graph1, intro)",
                                         "TF_GraphOperationByName(graph1, missing)" } ) );
   TF_DeleteGraph( graph );
}

TEST_F( CallOrder, ImportGraphDefFreesItsOptionsAndAnyGraphItDoesNotReturn )
{
   const Calls start = { "TF_NewGraph() -> graph1", "TF_NewImportGraphDefOptions() -> importoptions1",
                         "TF_GraphImportGraphDef(graph1, buffer1, importoptions1, status1)" };
   const struct
   {
      Failure failure;
      Calls calls;
      const char* message;
   } cases[] = {
      { nullptr, { start[0], start[1], start[2], "TF_DeleteImportGraphDefOptions(importoptions1)" }, "" },
      { &fake_tf::Behaviour::newGraphFails, { "TF_NewGraph() -> null" }, "" },
      { &fake_tf::Behaviour::newImportOptionsFails,
        { start[0], "TF_NewImportGraphDefOptions() -> null", "TF_DeleteGraph(graph1)" }, "" },
      { &fake_tf::Behaviour::importFails,
        { start[0], start[1], start[2], "TF_DeleteGraph(graph1)", "TF_DeleteImportGraphDefOptions(importoptions1)" },
        "fake import failure" },
   };
   for ( const auto& c : cases )
   {
      fake_tf::Reset();
      if ( c.failure != nullptr )
         fake_tf::Behave().*c.failure = true;
      TF_Buffer* buffer = Made( [] { return TF_NewBuffer(); } );
      TF_Status* status = Made( [] { return TF_NewStatus(); } );
      TF_Graph* graph = ImportGraphDef( buffer, status );
      EXPECT_EQ( fake_tf::Calls(), c.calls ) << c.message;
      EXPECT_EQ( fake_tf::Label( graph ), c.failure == nullptr ? "graph1" : "null" );
      EXPECT_STREQ( Message( status ), c.message );
      if ( graph != nullptr )
         TF_DeleteGraph( graph );
      TF_DeleteStatus( status );
      TF_DeleteBuffer( buffer );
   }
}

TEST_F( CallOrder, CreateTensorPassesTheLengthUncheckedAndCopiesNoMoreThanTheTensorHolds )
{
   const int64_t dims[] = { 2, 3 };
   const float data[] = { 1, 2, 3 };
   {
      TensorGuard tensor( CreateTensor( TF_FLOAT, dims, 2, data, 2 * sizeof( float ) ) );
      EXPECT_EQ( fake_tf::Calls(), Calls{ "TF_AllocateTensor(1, [2,3], 8) -> tensor1" } );
      EXPECT_EQ( std::memcmp( fake_tf::TensorStorage( tensor.Get() ).data(), data, 8 ), 0 );
   }
   fake_tf::Behave().tensorByteSize = 4;
   TensorGuard tensor( CreateTensor( TF_FLOAT, dims, 1, data, sizeof data ) );
   const std::vector<unsigned char>& storage = fake_tf::TensorStorage( tensor.Get() );
   EXPECT_EQ( std::memcmp( storage.data(), data, 4 ), 0 );
   for ( size_t i = 4; i < storage.size(); ++i )
      EXPECT_EQ( storage[i], 0xAA ) << "byte " << i << " written past the tensor";
}

TEST_F( CallOrder, CreateTensorGivesNullWithoutTensorOrData )
{
   const int64_t dims[] = { 1 };
   fake_tf::Behave().allocateTensorFails = true;
   EXPECT_EQ( CreateTensor( TF_FLOAT, dims, 1, dims, 4 ), nullptr );
   fake_tf::Behave() = { .tensorDataIsNull = true };
   EXPECT_EQ( CreateTensor( TF_FLOAT, dims, 1, dims, 4 ), nullptr );
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_AllocateTensor(1, [1], 4) -> null",
                                         "TF_AllocateTensor(1, [1], 4) -> tensor1", "TF_DeleteTensor(tensor1)" } ) );
}

// ---------------------------------------------------------------- runs

// A session of the double with its operations, freed by a SessionGuard.
class RunCalls : public CallOrder
{
protected:
   void SetUp() override
   {
      guard.graph = TF_NewGraph();
      guard.options = TF_NewSessionOptions();
      guard.status = TF_NewStatus();
      guard.session = TF_NewSession( guard.graph, guard.options, guard.status );
      input = { TF_GraphOperationByName( guard.graph, "intro" ), 0 };
      output = { TF_GraphOperationByName( guard.graph, "Identity" ), 0 };
      *in.Out() = TF_AllocateTensor( TF_FLOAT, dims, 1, 2 * sizeof( float ) );
      fake_tf::ClearCalls();
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

TEST_F( RunCalls, RunWithANullArgumentCallsNothing )
{
   TF_Tensor* none = nullptr;
   TensorGuard result( nullptr );
   EXPECT_FALSE( RunSingleOutputSession( nullptr, &input, in.Out(), &output, result.Out(), guard.status ) );
   EXPECT_FALSE( RunSingleOutputSession( guard.session, nullptr, in.Out(), &output, result.Out(), guard.status ) );
   EXPECT_FALSE( RunSingleOutputSession( guard.session, &input, in.Out(), nullptr, result.Out(), guard.status ) );
   // A missing array is not read for its first element.
   EXPECT_FALSE( RunSingleOutputSession( guard.session, &input, nullptr, &output, result.Out(), guard.status ) );
   EXPECT_FALSE( RunSingleOutputSession( guard.session, &input, &none, &output, result.Out(), guard.status ) );
   EXPECT_FALSE( RunSingleOutputSession( guard.session, &input, in.Out(), &output, nullptr, guard.status ) );
   EXPECT_FALSE( RunSingleOutputSession( guard.session, &input, in.Out(), &output, result.Out(), nullptr ) );
   EXPECT_EQ( RunError( result.Out(), nullptr ), "Run: TensorFlow status object is null." );
   EXPECT_EQ( fake_tf::Calls(), Calls{} );
   EXPECT_EQ( result.Get(), nullptr );
}

TEST_F( RunCalls, RunPassesOneInputAndOneOutputAndNothingElse )
{
   TensorGuard result( nullptr );
   EXPECT_TRUE( RunSingleOutputSession( guard.session, &input, in.Out(), &output, result.Out(), guard.status ) );
   EXPECT_EQ( fake_tf::Calls(), Calls{ "TF_SessionRun(session1, tensor1, status1)" } );
   const fake_tf::RunArguments& run = fake_tf::LastRun();
   EXPECT_EQ( run.runOptions, nullptr );
   EXPECT_EQ( run.inputs, &input );
   EXPECT_EQ( run.inputValues, in.Out() );
   EXPECT_EQ( run.ninputs, 1 );
   EXPECT_EQ( run.outputs, &output );
   EXPECT_EQ( run.outputValues, result.Out() );
   EXPECT_EQ( run.noutputs, 1 );
   EXPECT_EQ( run.targets, nullptr );
   EXPECT_EQ( run.ntargets, 0 );
   EXPECT_EQ( run.runMetadata, nullptr );
   EXPECT_EQ( fake_tf::Label( result.Get() ), "tensor2" );
}

TEST_F( RunCalls, RunWithoutOutputTensorIsAFailure )
{
   fake_tf::Behave().runWritesOutput = false;
   TensorGuard result( nullptr );
   EXPECT_FALSE( RunSingleOutputSession( guard.session, &input, in.Out(), &output, result.Out(), guard.status ) );
   EXPECT_TRUE( IsOk( guard.status ) );
   EXPECT_EQ( RunError( result.Out(), guard.status ), "Run: TensorFlow output tensor is null." );
}

TEST_F( RunCalls, FailedRunLeavesItsOutputTensorToTheCaller )
{
   fake_tf::Behave().runFails = true;
   {
      TensorGuard result( nullptr );
      EXPECT_FALSE( RunSingleOutputSession( guard.session, &input, in.Out(), &output, result.Out(), guard.status ) );
      EXPECT_EQ( fake_tf::Label( result.Get() ), "tensor2" );
   }
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_SessionRun(session1, tensor1, status1)", "TF_DeleteTensor(tensor2)" } ) );
   TensorGuard result( nullptr );
   EXPECT_EQ( RunError( result.Out(), guard.status ), "Run: fake run failure" );
   EXPECT_NE( result.Get(), nullptr );
}

// ---------------------------------------------------------------- model operations

TEST_F( CallOrder, LoadGraphDefFreesTheStatusAndThenTheBuffer )
{
   ScratchDirectory scratch;
   const std::string path = scratch.Write( "weights.pb", "graph bytes" ).string();
   const Calls start = { "TF_NewBuffer() -> buffer1", "TF_NewStatus() -> status1", "TF_NewGraph() -> graph1",
                         "TF_NewImportGraphDefOptions() -> importoptions1",
                         "TF_GraphImportGraphDef(graph1, buffer1, importoptions1, status1)" };
   const std::string failed = "KestrimEngine::LoadGraphDef(): Unable to load graph definition: ";
   const struct
   {
      Failure failure;
      std::string message;
      Calls calls;
   } cases[] = {
      { nullptr, "no error",
        { start[0], start[1], start[2], start[3], start[4], "TF_DeleteImportGraphDefOptions(importoptions1)",
          "TF_DeleteStatus(status1)", "TF_DeleteBuffer(buffer1)" } },
      { &fake_tf::Behaviour::importFails, failed + "fake import failure",
        { start[0], start[1], start[2], start[3], start[4], "TF_DeleteGraph(graph1)",
          "TF_DeleteImportGraphDefOptions(importoptions1)", "TF_DeleteStatus(status1)", "TF_DeleteBuffer(buffer1)" } },
      { &fake_tf::Behaviour::newStatusFails, failed + "TensorFlow status object is null.",
        { start[0], "TF_NewStatus() -> null", "TF_DeleteBuffer(buffer1)" } },
      { &fake_tf::Behaviour::newBufferFails, "TensorFlow buffer allocation failed: buffer is null.",
        { "TF_NewBuffer() -> null" } },
   };
   for ( const auto& c : cases )
   {
      fake_tf::Reset();
      if ( c.failure != nullptr )
         fake_tf::Behave().*c.failure = true;
      TF_Graph* graph = nullptr;
      EXPECT_EQ( ErrorOf( [&] { graph = DLModelTensorflow::LoadGraphDef( path.c_str() ); } ), c.message );
      EXPECT_EQ( fake_tf::Calls(), c.calls ) << c.message;
      if ( graph != nullptr )
         TF_DeleteGraph( graph );
   }
}

TEST_F( CallOrder, CreateSessionFailures )
{
   const std::string newSession = "TF_NewSession(graph1, options1, status1) -> ";
   const struct
   {
      Failure failure;
      const char* message;
      Calls calls;
   } cases[] = {
      { &fake_tf::Behaviour::newSessionGivesNull, "session is null.", { newSession + "null" } },
      { &fake_tf::Behaviour::newSessionFails, "fake session failure", { newSession + "null" } },
      // A session that comes with a failed status is closed and deleted.
      { &fake_tf::Behaviour::newSessionFailsWithSession, "fake session failure",
        { newSession + "session1", "TF_NewStatus() -> status2", "TF_CloseSession(session1, status2)",
          "TF_DeleteSession(session1, status2)", "TF_DeleteStatus(status2)" } },
   };
   for ( const auto& c : cases )
   {
      fake_tf::Reset();
      fake_tf::Behave().*c.failure = true;
      SessionGuard guard;
      guard.graph = TF_NewGraph();
      guard.options = TF_NewSessionOptions();
      guard.status = TF_NewStatus();
      fake_tf::ClearCalls();
      EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateSession( guard.graph, guard.options, guard.status ); } ),
                 std::string( "TensorFlow session creation failed: " ) + c.message );
      EXPECT_EQ( fake_tf::Calls(), c.calls ) << c.message;
   }
}

} // namespace

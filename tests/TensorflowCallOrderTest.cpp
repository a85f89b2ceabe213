// The TensorFlow layer's calls, in order, seen through a test double of the
// TensorFlow functions it uses: what must not be called for null handles, the
// order in which guards free what they hold, and failures the real library
// cannot be made to produce.
#include "framework/DLModelTensorflow.h"
#include "framework/TensorflowGuards.h"
#include "platform/Exception.h"
#include "tests/FakeTensorflow.h"
#include "tests/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace
{

using namespace project_pelk::tensorflow;
using pcl::DLModelTensorflow;
using Calls = std::vector<std::string>;

class CallOrder : public ::testing::Test
{
protected:
   // The check for handles left alive runs after derived fixtures have
   // destroyed their guards.
   CallOrder() { fake_tf::Reset(); }
   ~CallOrder() override { fake_tf::Reset(); }

   // Handles made before the code under test runs, with the log cleared.
   template <class F>
   auto Made( F make )
   {
      auto handle = make();
      fake_tf::ClearCalls();
      return handle;
   }

   static std::string ErrorOf( auto&& call )
   {
      try
      {
         call();
      }
      catch ( const pcl::Error& e )
      {
         return e.Message().ToStdUTF8();
      }
      ADD_FAILURE() << "no pcl::Error thrown";
      return {};
   }
};

// ---------------------------------------------------------------- guards

TEST_F( CallOrder, TensorGuardOfNullCallsNothing )
{
   {
      TensorGuard tensor( nullptr );
   }
   EXPECT_EQ( fake_tf::Calls(), Calls{} );
}

TEST_F( CallOrder, TensorGuardDeletesItsTensor )
{
   const int64_t dims[] = { 1 };
   TF_Tensor* t = Made( [&] { return TF_AllocateTensor( TF_FLOAT, dims, 1, 4 ); } );
   {
      TensorGuard tensor( t );
   }
   EXPECT_EQ( fake_tf::Calls(), Calls{ "TF_DeleteTensor(tensor1)" } );
}

TEST_F( CallOrder, TensorGuardOwnsWhatARunWritesIntoItsSlot )
{
   {
      TensorGuard output( nullptr );
      *output.Out() = TF_AllocateTensor( TF_FLOAT, nullptr, 0, 4 );
      fake_tf::ClearCalls();
   }
   EXPECT_EQ( fake_tf::Calls(), Calls{ "TF_DeleteTensor(tensor1)" } );
}

TEST_F( CallOrder, BufferGuardOfNullCallsNothing )
{
   {
      BufferGuard buffer( nullptr );
   }
   EXPECT_EQ( fake_tf::Calls(), Calls{} );
}

TEST_F( CallOrder, BufferGuardDeletesItsBuffer )
{
   TF_Buffer* b = Made( [] { return TF_NewBuffer(); } );
   {
      BufferGuard buffer( b );
   }
   EXPECT_EQ( fake_tf::Calls(), Calls{ "TF_DeleteBuffer(buffer1)" } );
}

TEST_F( CallOrder, StatusGuardMakesAndDeletesOneStatus )
{
   {
      StatusGuard status;
   }
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_NewStatus() -> status1", "TF_DeleteStatus(status1)" } ) );
}

TEST_F( CallOrder, StatusGuardWithoutStatusDeletesNothing )
{
   fake_tf::Behave().newStatusFails = true;
   {
      StatusGuard status;
      EXPECT_EQ( status.Get(), nullptr );
   }
   EXPECT_EQ( fake_tf::Calls(), Calls{ "TF_NewStatus() -> null" } );
}

TEST_F( CallOrder, ImportGraphDefOptionsGuardMakesAndDeletesItsOptions )
{
   {
      ImportGraphDefOptionsGuard options;
   }
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_NewImportGraphDefOptions() -> importoptions1",
                                         "TF_DeleteImportGraphDefOptions(importoptions1)" } ) );
}

TEST_F( CallOrder, ImportGraphDefOptionsGuardWithoutOptionsDeletesNothing )
{
   fake_tf::Behave().newImportOptionsFails = true;
   {
      ImportGraphDefOptionsGuard options;
   }
   EXPECT_EQ( fake_tf::Calls(), Calls{ "TF_NewImportGraphDefOptions() -> null" } );
}

TEST_F( CallOrder, EmptySessionGuardCallsNothing )
{
   {
      SessionGuard guard;
      EXPECT_EQ( guard.graph, nullptr );
      EXPECT_EQ( guard.status, nullptr );
      EXPECT_EQ( guard.options, nullptr );
      EXPECT_EQ( guard.session, nullptr );
   }
   EXPECT_EQ( fake_tf::Calls(), Calls{} );
}

TEST_F( CallOrder, FullSessionGuardClosesTheSessionFirstAndTheStatusLast )
{
   {
      SessionGuard guard;
      guard.graph = TF_NewGraph();
      guard.options = TF_NewSessionOptions();
      guard.status = TF_NewStatus();
      guard.session = TF_NewSession( guard.graph, guard.options, guard.status );
      fake_tf::ClearCalls();
   }
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_CloseSession(session1, status1)", "TF_DeleteSession(session1, status1)",
                                         "TF_DeleteSessionOptions(options1)", "TF_DeleteGraph(graph1)",
                                         "TF_DeleteStatus(status1)" } ) );
}

TEST_F( CallOrder, SessionGuardWithoutStatusClosesThroughOneTemporaryStatus )
{
   TF_Status* creation = Made( [] { return TF_NewStatus(); } );
   {
      SessionGuard guard;
      guard.graph = TF_NewGraph();
      guard.options = TF_NewSessionOptions();
      guard.session = TF_NewSession( guard.graph, guard.options, creation );
      fake_tf::ClearCalls();
   }
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_NewStatus() -> status2", "TF_CloseSession(session1, status2)",
                                         "TF_DeleteSession(session1, status2)", "TF_DeleteStatus(status2)",
                                         "TF_DeleteSessionOptions(options1)", "TF_DeleteGraph(graph1)" } ) );
   TF_DeleteStatus( creation );
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

TEST_F( CallOrder, SessionGuardWithoutSessionMakesNoTemporaryStatus )
{
   {
      SessionGuard guard;
      guard.graph = TF_NewGraph();
      guard.status = TF_NewStatus();
      fake_tf::ClearCalls();
   }
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_DeleteGraph(graph1)", "TF_DeleteStatus(status1)" } ) );
}

// ---------------------------------------------------------------- wrappers

TEST_F( CallOrder, IsOkAndMessageOfANullStatusCallNothing )
{
   EXPECT_FALSE( IsOk( nullptr ) );
   EXPECT_STREQ( Message( nullptr ), "TensorFlow status object is null." );
   EXPECT_EQ( fake_tf::Calls(), Calls{} );
}

TEST_F( CallOrder, FindOperationWithoutGraphOrNameCallsNothing )
{
   TF_Graph* graph = Made( [] { return TF_NewGraph(); } );
   EXPECT_EQ( FindOperation( nullptr, "intro" ), nullptr );
   EXPECT_EQ( FindOperation( graph, nullptr ), nullptr );
   EXPECT_EQ( fake_tf::Calls(), Calls{} );
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

TEST_F( CallOrder, CreateSessionWithANullArgumentCallsNothing )
{
   TF_Graph* graph = Made( [] { return TF_NewGraph(); } );
   TF_SessionOptions* options = Made( [] { return TF_NewSessionOptions(); } );
   TF_Status* status = Made( [] { return TF_NewStatus(); } );
   EXPECT_EQ( CreateSession( nullptr, options, status ), nullptr );
   EXPECT_EQ( CreateSession( graph, nullptr, status ), nullptr );
   EXPECT_EQ( CreateSession( graph, options, nullptr ), nullptr );
   EXPECT_EQ( fake_tf::Calls(), Calls{} );
   EXPECT_TRUE( IsOk( status ) );
   TF_DeleteStatus( status );
   TF_DeleteSessionOptions( options );
   TF_DeleteGraph( graph );
}

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
}

TEST_F( RunCalls, RunSessionWithoutStatusDoesNotRun )
{
   TensorGuard result( nullptr );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RunSession( guard.session, &input, in.Out(), &output, result.Out(), nullptr, "Run" ); } ),
              "Run: TensorFlow status object is null." );
   EXPECT_EQ( fake_tf::Calls(), Calls{} );
}

TEST_F( RunCalls, RunSessionWithoutOutputTensorIsAnError )
{
   fake_tf::Behave().runWritesOutput = false;
   TensorGuard result( nullptr );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RunSession( guard.session, &input, in.Out(), &output, result.Out(), guard.status, "Run" ); } ),
              "Run: TensorFlow output tensor is null." );
}

TEST_F( RunCalls, FailedRunSessionReportsTheStatus )
{
   fake_tf::Behave().runFails = true;
   TensorGuard result( nullptr );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::RunSession( guard.session, &input, in.Out(), &output, result.Out(), guard.status, "Run" ); } ),
              "Run: fake run failure" );
   EXPECT_NE( result.Get(), nullptr );
}

TEST_F( CallOrder, CreateTensorRefusesMissingDimensionsOrDataWithoutCalling )
{
   const int64_t dims[] = { 2 };
   const float data[] = { 1, 2 };
   EXPECT_EQ( CreateTensor( TF_FLOAT, nullptr, 1, data, sizeof data ), nullptr );
   EXPECT_EQ( CreateTensor( TF_FLOAT, dims, 0, data, sizeof data ), nullptr );
   EXPECT_EQ( CreateTensor( TF_FLOAT, dims, -3, data, sizeof data ), nullptr );
   EXPECT_EQ( CreateTensor( TF_FLOAT, dims, 1, nullptr, sizeof data ), nullptr );
   EXPECT_EQ( fake_tf::Calls(), Calls{} );
}

TEST_F( CallOrder, CreateTensorPassesTheLengthUnchecked )
{
   const int64_t dims[] = { 2, 3 };
   const float data[] = { 1, 2 };
   TensorGuard tensor( CreateTensor( TF_FLOAT, dims, 2, data, sizeof data ) );
   EXPECT_EQ( fake_tf::Calls(), Calls{ "TF_AllocateTensor(1, [2,3], 8) -> tensor1" } );
   EXPECT_EQ( std::memcmp( fake_tf::TensorStorage( tensor.Get() ).data(), data, sizeof data ), 0 );
}

TEST_F( CallOrder, CreateTensorCopiesNoMoreThanTheTensorHolds )
{
   fake_tf::Behave().tensorByteSize = 4;
   const int64_t dims[] = { 1 };
   const float data[] = { 1, 2, 3 };
   TensorGuard tensor( CreateTensor( TF_FLOAT, dims, 1, data, sizeof data ) );
   const std::vector<unsigned char>& storage = fake_tf::TensorStorage( tensor.Get() );
   EXPECT_EQ( std::memcmp( storage.data(), data, 4 ), 0 );
   for ( size_t i = 4; i < storage.size(); ++i )
      EXPECT_EQ( storage[i], 0xAA ) << "byte " << i << " written past the tensor";
}

TEST_F( CallOrder, CreateTensorGivesNullWhenTensorFlowAllocatesNothing )
{
   fake_tf::Behave().allocateTensorFails = true;
   const int64_t dims[] = { 1 };
   const float data[] = { 1 };
   EXPECT_EQ( CreateTensor( TF_FLOAT, dims, 1, data, sizeof data ), nullptr );
   EXPECT_EQ( fake_tf::Calls(), Calls{ "TF_AllocateTensor(1, [1], 4) -> null" } );
}

TEST_F( CallOrder, CreateTensorDeletesATensorWithoutData )
{
   fake_tf::Behave().tensorDataIsNull = true;
   const int64_t dims[] = { 1 };
   const float data[] = { 1 };
   EXPECT_EQ( CreateTensor( TF_FLOAT, dims, 1, data, sizeof data ), nullptr );
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_AllocateTensor(1, [1], 4) -> tensor1", "TF_DeleteTensor(tensor1)" } ) );
}

TEST_F( CallOrder, ImportGraphDefWithoutBufferOrStatusCallsNothing )
{
   TF_Buffer* buffer = Made( [] { return TF_NewBuffer(); } );
   TF_Status* status = Made( [] { return TF_NewStatus(); } );
   EXPECT_EQ( ImportGraphDef( nullptr, status ), nullptr );
   EXPECT_EQ( ImportGraphDef( buffer, nullptr ), nullptr );
   EXPECT_EQ( fake_tf::Calls(), Calls{} );
   TF_DeleteStatus( status );
   TF_DeleteBuffer( buffer );
}

TEST_F( CallOrder, ImportGraphDefFreesItsOptionsAndKeepsTheBuffer )
{
   TF_Buffer* buffer = Made( [] { return TF_NewBuffer(); } );
   TF_Status* status = Made( [] { return TF_NewStatus(); } );
   TF_Graph* graph = ImportGraphDef( buffer, status );
   EXPECT_EQ( fake_tf::Label( graph ), "graph1" );
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_NewGraph() -> graph1",
                                         "TF_NewImportGraphDefOptions() -> importoptions1",
                                         "TF_GraphImportGraphDef(graph1, buffer1, importoptions1, status1)",
                                         "TF_DeleteImportGraphDefOptions(importoptions1)" } ) );
   TF_DeleteGraph( graph );
   TF_DeleteStatus( status );
   TF_DeleteBuffer( buffer );
}

TEST_F( CallOrder, ImportGraphDefWithoutGraphStopsThere )
{
   fake_tf::Behave().newGraphFails = true;
   TF_Buffer* buffer = Made( [] { return TF_NewBuffer(); } );
   TF_Status* status = Made( [] { return TF_NewStatus(); } );
   EXPECT_EQ( ImportGraphDef( buffer, status ), nullptr );
   EXPECT_EQ( fake_tf::Calls(), Calls{ "TF_NewGraph() -> null" } );
   TF_DeleteStatus( status );
   TF_DeleteBuffer( buffer );
}

TEST_F( CallOrder, ImportGraphDefWithoutOptionsDeletesItsGraph )
{
   fake_tf::Behave().newImportOptionsFails = true;
   TF_Buffer* buffer = Made( [] { return TF_NewBuffer(); } );
   TF_Status* status = Made( [] { return TF_NewStatus(); } );
   EXPECT_EQ( ImportGraphDef( buffer, status ), nullptr );
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_NewGraph() -> graph1", "TF_NewImportGraphDefOptions() -> null",
                                         "TF_DeleteGraph(graph1)" } ) );
   TF_DeleteStatus( status );
   TF_DeleteBuffer( buffer );
}

TEST_F( CallOrder, FailedImportDeletesItsGraphAndKeepsTheReason )
{
   fake_tf::Behave().importFails = true;
   TF_Buffer* buffer = Made( [] { return TF_NewBuffer(); } );
   TF_Status* status = Made( [] { return TF_NewStatus(); } );
   EXPECT_EQ( ImportGraphDef( buffer, status ), nullptr );
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_NewGraph() -> graph1",
                                         "TF_NewImportGraphDefOptions() -> importoptions1",
                                         "TF_GraphImportGraphDef(graph1, buffer1, importoptions1, status1)",
                                         "TF_DeleteGraph(graph1)",
                                         "TF_DeleteImportGraphDefOptions(importoptions1)" } ) );
   EXPECT_STREQ( Message( status ), "fake import failure" );
   TF_DeleteStatus( status );
   TF_DeleteBuffer( buffer );
}

// ---------------------------------------------------------------- model operations

class ModelCalls : public CallOrder
{
protected:
   ScratchDirectory scratch;
   std::string Weights( std::string_view bytes ) { return scratch.Write( "weights.pb", bytes ).string(); }
};

TEST_F( ModelCalls, LoadGraphDefFreesTheStatusAndThenTheBuffer )
{
   const std::string path = Weights( "graph bytes" );
   TF_Graph* graph = DLModelTensorflow::LoadGraphDef( path.c_str() );
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_NewBuffer() -> buffer1", "TF_NewStatus() -> status1",
                                         "TF_NewGraph() -> graph1",
                                         "TF_NewImportGraphDefOptions() -> importoptions1",
                                         "TF_GraphImportGraphDef(graph1, buffer1, importoptions1, status1)",
                                         "TF_DeleteImportGraphDefOptions(importoptions1)",
                                         "TF_DeleteStatus(status1)", "TF_DeleteBuffer(buffer1)" } ) );
   TF_DeleteGraph( graph );
}

TEST_F( ModelCalls, LoadGraphDefWithoutStatusReportsIt )
{
   fake_tf::Behave().newStatusFails = true;
   const std::string path = Weights( "graph bytes" );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::LoadGraphDef( path.c_str() ); } ),
              "KestrimEngine::LoadGraphDef(): Unable to load graph definition: TensorFlow status object is null." );
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_NewBuffer() -> buffer1", "TF_NewStatus() -> null",
                                         "TF_DeleteBuffer(buffer1)" } ) );
}

TEST_F( ModelCalls, FailedImportIsReportedWithTheStatusMessage )
{
   fake_tf::Behave().importFails = true;
   const std::string path = Weights( "graph bytes" );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::LoadGraphDef( path.c_str() ); } ),
              "KestrimEngine::LoadGraphDef(): Unable to load graph definition: fake import failure" );
   EXPECT_EQ( fake_tf::LiveHandles(), 0u );
}

TEST_F( ModelCalls, NoBufferFreesTheBytesAndThrows )
{
   fake_tf::Behave().newBufferFails = true;
   const std::string path = Weights( "graph bytes" );
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::ReadBufferFromFile( path.c_str() ); } ),
              "TensorFlow buffer allocation failed: buffer is null." );
   EXPECT_EQ( fake_tf::Calls(), Calls{ "TF_NewBuffer() -> null" } );
}

TEST_F( ModelCalls, CreateSessionWithoutSessionFromAnOkStatus )
{
   fake_tf::Behave().newSessionGivesNull = true;
   SessionGuard guard;
   guard.graph = TF_NewGraph();
   guard.options = TF_NewSessionOptions();
   guard.status = TF_NewStatus();
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateSession( guard.graph, guard.options, guard.status ); } ),
              "TensorFlow session creation failed: session is null." );
}

TEST_F( ModelCalls, CreateSessionFailureReportsTheStatus )
{
   fake_tf::Behave().newSessionFails = true;
   SessionGuard guard;
   guard.graph = TF_NewGraph();
   guard.options = TF_NewSessionOptions();
   guard.status = TF_NewStatus();
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateSession( guard.graph, guard.options, guard.status ); } ),
              "TensorFlow session creation failed: fake session failure" );
}

TEST_F( ModelCalls, SessionThatComesWithAFailedStatusIsClosedAndDeleted )
{
   fake_tf::Behave().newSessionFailsWithSession = true;
   SessionGuard guard;
   guard.graph = TF_NewGraph();
   guard.options = TF_NewSessionOptions();
   guard.status = TF_NewStatus();
   fake_tf::ClearCalls();
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateSession( guard.graph, guard.options, guard.status ); } ),
              "TensorFlow session creation failed: fake session failure" );
   EXPECT_EQ( fake_tf::Calls(), ( Calls{ "TF_NewSession(graph1, options1, status1) -> session1",
                                         "TF_NewStatus() -> status2", "TF_CloseSession(session1, status2)",
                                         "TF_DeleteSession(session1, status2)", "TF_DeleteStatus(status2)" } ) );
}

TEST_F( ModelCalls, CreateSessionWithoutStatusNeverAsksTensorFlow )
{
   SessionGuard guard;
   guard.graph = TF_NewGraph();
   guard.options = TF_NewSessionOptions();
   fake_tf::ClearCalls();
   EXPECT_EQ( ErrorOf( [&] { DLModelTensorflow::CreateSession( guard.graph, guard.options, nullptr ); } ),
              "TensorFlow session creation failed: TensorFlow status object is null." );
   EXPECT_EQ( fake_tf::Calls(), Calls{} );
}

} // namespace

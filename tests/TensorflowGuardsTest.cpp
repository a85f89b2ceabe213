// The guards and the null-checking wrappers against the real TensorFlow
// library. What only a call log can show is in TensorflowCallOrderTest.
#include "framework/TensorflowGuards.h"
#include "tests/TensorflowHandles.h"
#include "tools/GraphWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>
#include <vector>

namespace
{

using namespace project_pelk::tensorflow;
using project_pelk::graphs::GraphKind;
using project_pelk::graphs::MakeGraphDef;

// Exclusive ownership: a copy or a move would free a handle twice.
template <class G>
constexpr bool Pinned = !std::is_copy_constructible_v<G> && !std::is_copy_assignable_v<G> &&
                        !std::is_move_constructible_v<G> && !std::is_move_assignable_v<G>;
static_assert( Pinned<TensorGuard> && Pinned<StatusGuard> && Pinned<ImportGraphDefOptionsGuard> &&
               Pinned<BufferGuard> && Pinned<SessionGuard> );

// ---------------------------------------------------------------- guards

TEST( TensorflowGuards, StatusGuardHoldsAFreshStatus )
{
   StatusGuard status;
   ASSERT_NE( status.Get(), nullptr );
   EXPECT_EQ( TF_GetCode( status.Get() ), TF_OK );
}

TEST( TensorflowGuards, ImportGraphDefOptionsGuardHoldsOptions )
{
   ImportGraphDefOptionsGuard options;
   EXPECT_NE( options.Get(), nullptr );
}

TEST( TensorflowGuards, TensorGuardOutIsTheHeldSlot )
{
   TensorGuard output( nullptr );
   EXPECT_EQ( output.Get(), nullptr );
   const int64_t dims[] = { 2 };
   *output.Out() = TF_AllocateTensor( TF_FLOAT, dims, 1, 2 * sizeof( float ) );
   ASSERT_NE( output.Get(), nullptr );
   EXPECT_EQ( TF_NumDims( output.Get() ), 1 );
}

TEST( TensorflowGuards, BufferGuardReleasesTheDataThroughItsDeallocator )
{
   static int released = 0;
   released = 0;
   static char data[] = "bytes";
   {
      BufferGuard buffer( TF_NewBuffer() );
      ASSERT_NE( buffer.Get(), nullptr );
      buffer.Get()->data = data;
      buffer.Get()->length = sizeof data;
      buffer.Get()->data_deallocator = []( void* p, size_t length ) {
         EXPECT_EQ( p, data );
         EXPECT_EQ( length, sizeof data );
         ++released;
      };
   }
   EXPECT_EQ( released, 1 );
}

TEST( TensorflowGuards, SessionGuardClosesALiveSessionWithItsOwnStatus )
{
   SessionGuard guard;
   guard.graph = ImportDirectly( GraphKind::Identity ).release();
   guard.options = TF_NewSessionOptions();
   guard.status = TF_NewStatus();
   guard.session = TF_NewSession( guard.graph, guard.options, guard.status );
   ASSERT_EQ( TF_GetCode( guard.status ), TF_OK ) << TF_Message( guard.status );
   ASSERT_NE( guard.session, nullptr );
}

TEST( TensorflowGuards, SessionGuardClosesASessionWithoutStatusThroughATemporaryOne )
{
   SessionGuard guard;
   guard.graph = ImportDirectly( GraphKind::Identity ).release();
   guard.options = TF_NewSessionOptions();
   UniqueStatus creation( TF_NewStatus() );
   guard.session = TF_NewSession( guard.graph, guard.options, creation.get() );
   ASSERT_NE( guard.session, nullptr );
}

// ---------------------------------------------------------------- status

TEST( TensorflowWrappers, IsOkIsFalseForANullStatus )
{
   EXPECT_FALSE( IsOk( nullptr ) );
}

TEST( TensorflowWrappers, IsOkFollowsTheStatusCode )
{
   UniqueStatus status( TF_NewStatus() );
   EXPECT_TRUE( IsOk( status.get() ) );
   TF_SetStatus( status.get(), TF_INVALID_ARGUMENT, "broken" );
   EXPECT_FALSE( IsOk( status.get() ) );
}

TEST( TensorflowWrappers, MessageOfANullStatusIsAFixedText )
{
   EXPECT_STREQ( Message( nullptr ), "TensorFlow status object is null." );
}

TEST( TensorflowWrappers, MessageIsTheStatusOwnText )
{
   UniqueStatus status( TF_NewStatus() );
   TF_SetStatus( status.get(), TF_NOT_FOUND, "no such thing" );
   EXPECT_EQ( Message( status.get() ), TF_Message( status.get() ) );
   EXPECT_STREQ( Message( status.get() ), "no such thing" );
}

// ---------------------------------------------------------------- graph import

class ImportEachGraph : public ::testing::TestWithParam<GraphKind>
{
};

TEST_P( ImportEachGraph, KeepsTheOperationNamesOfTheFile )
{
   const std::string graphDef = MakeGraphDef( GetParam() );
   UniqueBuffer buffer( TF_NewBufferFromString( graphDef.data(), graphDef.size() ) );
   UniqueStatus status( TF_NewStatus() );
   UniqueGraph graph( ImportGraphDef( buffer.get(), status.get() ) );
   ASSERT_NE( graph, nullptr ) << TF_Message( status.get() );
   EXPECT_EQ( TF_GetCode( status.get() ), TF_OK );
   const bool hasIntro = GetParam() != GraphKind::NoIntro;
   const bool hasIdentity = GetParam() != GraphKind::NoIdentity;
   EXPECT_EQ( TF_GraphOperationByName( graph.get(), "intro" ) != nullptr, hasIntro );
   EXPECT_EQ( TF_GraphOperationByName( graph.get(), "Identity" ) != nullptr, hasIdentity );
}

INSTANTIATE_TEST_SUITE_P( AllKinds, ImportEachGraph, EveryGraphKind(), GraphKindTestName );

TEST( TensorflowWrappers, ImportGraphDefOfANullBufferMakesNothing )
{
   UniqueStatus status( TF_NewStatus() );
   EXPECT_EQ( ImportGraphDef( nullptr, status.get() ), nullptr );
   EXPECT_EQ( TF_GetCode( status.get() ), TF_OK );
}

TEST( TensorflowWrappers, ImportGraphDefWithoutStatusMakesNothing )
{
   const std::string graphDef = MakeGraphDef( GraphKind::Identity );
   UniqueBuffer buffer( TF_NewBufferFromString( graphDef.data(), graphDef.size() ) );
   EXPECT_EQ( ImportGraphDef( buffer.get(), nullptr ), nullptr );
}

TEST( TensorflowWrappers, ImportGraphDefOfRejectedBytesLeavesTheReasonInTheStatus )
{
   const char junk[] = "this is not a graph";
   UniqueBuffer buffer( TF_NewBufferFromString( junk, sizeof junk - 1 ) );
   UniqueStatus status( TF_NewStatus() );
   EXPECT_EQ( ImportGraphDef( buffer.get(), status.get() ), nullptr );
   EXPECT_EQ( TF_GetCode( status.get() ), TF_INVALID_ARGUMENT );
   EXPECT_STREQ( TF_Message( status.get() ), "Invalid GraphDef" );
}

// ---------------------------------------------------------------- operations

TEST( TensorflowWrappers, FindOperationWithoutGraphOrNameFindsNothing )
{
   UniqueGraph graph = ImportDirectly( GraphKind::Identity );
   EXPECT_EQ( FindOperation( nullptr, "intro" ), nullptr );
   EXPECT_EQ( FindOperation( graph.get(), nullptr ), nullptr );
}

TEST( TensorflowWrappers, FindOperationFindsByName )
{
   UniqueGraph graph = ImportDirectly( GraphKind::Identity );
   EXPECT_EQ( FindOperation( graph.get(), "intro" ), TF_GraphOperationByName( graph.get(), "intro" ) );
   EXPECT_NE( FindOperation( graph.get(), "intro" ), nullptr );
   EXPECT_EQ( FindOperation( graph.get(), "Intro" ), nullptr );
}

// ---------------------------------------------------------------- sessions

TEST( TensorflowWrappers, CreateSessionWithANullArgumentMakesNothingAndLeavesTheStatus )
{
   UniqueGraph graph = ImportDirectly( GraphKind::Identity );
   UniqueSessionOptions options( TF_NewSessionOptions() );
   UniqueStatus status( TF_NewStatus() );
   EXPECT_EQ( CreateSession( nullptr, options.get(), status.get() ), nullptr );
   EXPECT_EQ( CreateSession( graph.get(), nullptr, status.get() ), nullptr );
   EXPECT_EQ( TF_GetCode( status.get() ), TF_OK );
   EXPECT_EQ( CreateSession( graph.get(), options.get(), nullptr ), nullptr );
}

TEST( TensorflowWrappers, CreateSessionReportsTensorFlowFailureInTheStatus )
{
   UniqueGraph graph = ImportDirectly( GraphKind::Identity );
   UniqueSessionOptions options( TF_NewSessionOptions() );
   TF_SetTarget( options.get(), "bogus://nowhere" );
   UniqueStatus status( TF_NewStatus() );
   UniqueSession session( CreateSession( graph.get(), options.get(), status.get() ) );
   EXPECT_EQ( session, nullptr );
   EXPECT_NE( TF_GetCode( status.get() ), TF_OK );
}

// A session over the identity graph with its input and output.
class IdentitySession : public ::testing::Test
{
protected:
   void SetUp() override
   {
      session.reset( CreateSession( graph.get(), options.get(), status.get() ) );
      ASSERT_NE( session, nullptr ) << TF_Message( status.get() );
   }

   UniqueTensor Tile( const std::vector<float>& values )
   {
      const std::vector<int64_t> dims = TileDims();
      return UniqueTensor( CreateTensor( TF_FLOAT, dims.data(), 4, values.data(), values.size() * sizeof( float ) ) );
   }

   UniqueGraph graph = ImportDirectly( GraphKind::Identity );
   UniqueSessionOptions options{ TF_NewSessionOptions() };
   UniqueStatus status{ TF_NewStatus() };
   UniqueSession session;
   TF_Output input{ TF_GraphOperationByName( graph.get(), "intro" ), 0 };
   TF_Output output{ TF_GraphOperationByName( graph.get(), "Identity" ), 0 };
};

TEST_F( IdentitySession, RunReturnsTheInputBitForBit )
{
   const std::vector<float> values = TilePattern( TileElements() );
   UniqueTensor tensor = Tile( values );
   TF_Tensor* in = tensor.get();
   TensorGuard result( nullptr );
   ASSERT_TRUE( RunSingleOutputSession( session.get(), &input, &in, &output, result.Out(), status.get() ) )
      << TF_Message( status.get() );
   ASSERT_EQ( TF_TensorByteSize( result.Get() ), values.size() * sizeof( float ) );
   EXPECT_EQ( std::memcmp( TF_TensorData( result.Get() ), values.data(), values.size() * sizeof( float ) ), 0 );
}

TEST_F( IdentitySession, RunWithANullArgumentDoesNotRun )
{
   UniqueTensor tensor = Tile( std::vector<float>( TileElements() ) );
   TF_Tensor* in = tensor.get();
   TF_Tensor* none = nullptr;
   TensorGuard result( nullptr );
   EXPECT_FALSE( RunSingleOutputSession( nullptr, &input, &in, &output, result.Out(), status.get() ) );
   EXPECT_FALSE( RunSingleOutputSession( session.get(), nullptr, &in, &output, result.Out(), status.get() ) );
   EXPECT_FALSE( RunSingleOutputSession( session.get(), &input, &in, nullptr, result.Out(), status.get() ) );
   EXPECT_FALSE( RunSingleOutputSession( session.get(), &input, nullptr, &output, result.Out(), status.get() ) );
   EXPECT_FALSE( RunSingleOutputSession( session.get(), &input, &none, &output, result.Out(), status.get() ) );
   EXPECT_FALSE( RunSingleOutputSession( session.get(), &input, &in, &output, nullptr, status.get() ) );
   EXPECT_EQ( TF_GetCode( status.get() ), TF_OK );
   EXPECT_FALSE( RunSingleOutputSession( session.get(), &input, &in, &output, result.Out(), nullptr ) );
   EXPECT_EQ( result.Get(), nullptr );
}

TEST_F( IdentitySession, FailedRunGivesFalseWithTheReasonInTheStatus )
{
   const std::vector<int64_t> dims = TileDims();
   const std::vector<double> values( TileElements() );
   UniqueTensor tensor( CreateTensor( TF_DOUBLE, dims.data(), 4, values.data(), values.size() * sizeof( double ) ) );
   TF_Tensor* in = tensor.get();
   TensorGuard result( nullptr );
   EXPECT_FALSE( RunSingleOutputSession( session.get(), &input, &in, &output, result.Out(), status.get() ) );
   EXPECT_EQ( TF_GetCode( status.get() ), TF_INVALID_ARGUMENT );
   EXPECT_STREQ( TF_Message( status.get() ), "Expects arg[0] to be float but double is provided" );
}

// ---------------------------------------------------------------- tensors

TEST( TensorflowWrappers, CreateTensorRefusesMissingDimensionsOrData )
{
   const int64_t dims[] = { 2, 2 };
   const float data[] = { 1, 2, 3, 4 };
   EXPECT_EQ( CreateTensor( TF_FLOAT, nullptr, 2, data, sizeof data ), nullptr );
   EXPECT_EQ( CreateTensor( TF_FLOAT, dims, 0, data, sizeof data ), nullptr );
   EXPECT_EQ( CreateTensor( TF_FLOAT, dims, -1, data, sizeof data ), nullptr );
   EXPECT_EQ( CreateTensor( TF_FLOAT, dims, 2, nullptr, sizeof data ), nullptr );
}

TEST( TensorflowWrappers, CreateTensorCopiesTheData )
{
   const int64_t dims[] = { 2, 3 };
   float data[] = { 1, 2, 3, 4, 5, 6 };
   UniqueTensor tensor( CreateTensor( TF_FLOAT, dims, 2, data, sizeof data ) );
   ASSERT_NE( tensor, nullptr );
   data[0] = 99;
   EXPECT_EQ( TF_TensorType( tensor.get() ), TF_FLOAT );
   ASSERT_EQ( TF_NumDims( tensor.get() ), 2 );
   EXPECT_EQ( TF_Dim( tensor.get(), 0 ), 2 );
   EXPECT_EQ( TF_Dim( tensor.get(), 1 ), 3 );
   const float expected[] = { 1, 2, 3, 4, 5, 6 };
   ASSERT_EQ( TF_TensorByteSize( tensor.get() ), sizeof expected );
   EXPECT_EQ( std::memcmp( TF_TensorData( tensor.get() ), expected, sizeof expected ), 0 );
}

TEST( TensorflowWrappers, CreateTensorAcceptsALengthOfZero )
{
   const int64_t dims[] = { 0 };
   const float data[] = { 0 };
   UniqueTensor tensor( CreateTensor( TF_FLOAT, dims, 1, data, 0 ) );
   ASSERT_NE( tensor, nullptr );
   EXPECT_EQ( TF_TensorByteSize( tensor.get() ), 0u );
}

TEST( TensorflowWrappers, CreateTensorGivesNullWhenTensorFlowRefusesTheLength )
{
   const int64_t dims[] = { 4 };
   const float data[] = { 1, 2, 3, 4 };
   EXPECT_EQ( CreateTensor( TF_FLOAT, dims, 1, data, 2 * sizeof( float ) ), nullptr );
}

} // namespace

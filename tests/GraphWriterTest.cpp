// The graph tool's graphs do what tests and benchmarks rely on, run through
// the real TensorFlow library.
#include "framework/DLModelTensorflow.h"
#include "framework/TensorflowGuards.h"
#include "tests/TensorflowHandles.h"
#include "tools/GraphWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{

using pcl::DLModelTensorflow;
using project_pelk::graphs::GraphKind;
using project_pelk::graphs::GraphParameters;
using project_pelk::graphs::MakeGraphDef;
using project_pelk::graphs::TileSide;
namespace tf = project_pelk::tensorflow;

// One run of a graph over one tile, as the denoise model runs it.
class GraphRun
{
public:
   GraphRun( GraphKind kind, const std::vector<float>& tile, const GraphParameters& parameters = {} )
   {
      guard.graph = ImportDirectly( MakeGraphDef( kind, parameters ) ).release();
      guard.options = TF_NewSessionOptions();
      guard.status = TF_NewStatus();
      const TF_Output input = DLModelTensorflow::RequireOperation( guard.graph, "intro" );
      const TF_Output output = DLModelTensorflow::RequireOperation( guard.graph, "Identity" );
      guard.session = DLModelTensorflow::CreateSession( guard.graph, guard.options, guard.status );
      const std::vector<int64_t> dims = TileDims();
      tf::TensorGuard in( DLModelTensorflow::CreateTensor( TF_FLOAT, dims.data(), 4, tile.data(), tile.size() * sizeof( float ) ) );
      DLModelTensorflow::RunSession( guard.session, &input, in.Out(), &output, result.Out(), guard.status, "Run" );
   }

   TF_Tensor* Result() const { return result.Get(); }
   const float* Floats() const { return static_cast<const float*>( TF_TensorData( result.Get() ) ); }
   size_t Count() const { return TF_TensorByteSize( result.Get() ) / sizeof( float ); }

private:
   tf::SessionGuard guard;
   tf::TensorGuard result{ nullptr };
};

std::vector<float> Ramp()
{
   std::vector<float> tile( TileElements() );
   for ( size_t i = 0; i < tile.size(); ++i )
      tile[i] = float( i % 1000 ) / 1000;
   return tile;
}

size_t At( int64_t x, int64_t y, int64_t c )
{
   return size_t( ( x * TileSide + y ) * 3 + c );
}

TEST( GraphWriter, NetworkWeightsAreTheSameEveryTime )
{
   UniqueGraph first = ImportDirectly( MakeGraphDef( GraphKind::Network ) );
   UniqueGraph second = ImportDirectly( MakeGraphDef( GraphKind::Network ) );
   UniqueStatus status( TF_NewStatus() );
   for ( const char* name : { "conv1/filter", "conv3/bias", "conv5/filter" } )
   {
      TF_Tensor* a = nullptr;
      TF_Tensor* b = nullptr;
      TF_OperationGetAttrTensor( TF_GraphOperationByName( first.get(), name ), "value", &a, status.get() );
      UniqueTensor ownedA( a );
      TF_OperationGetAttrTensor( TF_GraphOperationByName( second.get(), name ), "value", &b, status.get() );
      UniqueTensor ownedB( b );
      ASSERT_EQ( TF_GetCode( status.get() ), TF_OK ) << TF_Message( status.get() );
      ASSERT_EQ( TF_TensorByteSize( a ), TF_TensorByteSize( b ) ) << name;
      EXPECT_EQ( std::memcmp( TF_TensorData( a ), TF_TensorData( b ), TF_TensorByteSize( a ) ), 0 ) << name;
   }
}

TEST( GraphWriter, PlaceholderHasTheTileShapeAndTheGivenBatch )
{
   for ( int64_t batch : { int64_t( -1 ), int64_t( 4 ) } )
   {
      UniqueGraph graph = ImportDirectly( MakeGraphDef( GraphKind::Identity, { .batch = batch } ) );
      UniqueStatus status( TF_NewStatus() );
      const TF_Output intro{ TF_GraphOperationByName( graph.get(), "intro" ), 0 };
      ASSERT_EQ( TF_GraphGetTensorNumDims( graph.get(), intro, status.get() ), 4 );
      int64_t dims[4] = {};
      TF_GraphGetTensorShape( graph.get(), intro, dims, 4, status.get() );
      EXPECT_EQ( std::vector<int64_t>( dims, dims + 4 ), ( std::vector<int64_t>{ batch, 512, 512, 3 } ) );
      EXPECT_EQ( TF_OperationOutputType( intro ), TF_FLOAT );
   }
}

TEST( GraphWriter, AffineMapsEverySample )
{
   const std::vector<float> tile = Ramp();
   GraphRun run( GraphKind::Affine, tile, { .scale = 0.5f, .offset = 0.25f } );
   ASSERT_EQ( run.Count(), tile.size() );
   for ( size_t i = 0; i < tile.size(); ++i )
      ASSERT_FLOAT_EQ( run.Floats()[i], 0.5f * tile[i] + 0.25f ) << "at " << i;
}

TEST( GraphWriter, BoxFilterAveragesEachChannelWithZerosBeyondTheEdge )
{
   std::vector<float> tile( TileElements() );
   for ( size_t i = 0; i < tile.size(); ++i )
      tile[i] = float( 1 + i % 3 ); // channel c holds c + 1
   GraphRun run( GraphKind::BoxFilter, tile );
   ASSERT_EQ( run.Count(), tile.size() );
   for ( int c = 0; c < 3; ++c )
   {
      EXPECT_NEAR( run.Floats()[At( 100, 200, c )], c + 1, 1e-5 );
      EXPECT_NEAR( run.Floats()[At( 0, 0, c )], ( c + 1 ) * 4.0 / 9, 1e-5 );
      EXPECT_NEAR( run.Floats()[At( 0, 300, c )], ( c + 1 ) * 6.0 / 9, 1e-5 );
   }
}

TEST( GraphWriter, NetworkGivesFiniteTilesOfTheSameShape )
{
   GraphRun run( GraphKind::Network, Ramp() );
   ASSERT_EQ( TF_NumDims( run.Result() ), 4 );
   EXPECT_EQ( TF_Dim( run.Result(), 3 ), 3 );
   ASSERT_EQ( run.Count(), TileElements() );
   for ( size_t i = 0; i < run.Count(); ++i )
      ASSERT_TRUE( std::isfinite( run.Floats()[i] ) ) << "at " << i;
}

TEST( GraphWriter, NaNAndInfGraphsGiveNonFiniteSamples )
{
   GraphRun nan( GraphKind::NaN, Ramp() );
   EXPECT_TRUE( std::isnan( nan.Floats()[At( 7, 9, 1 )] ) );
   GraphRun inf( GraphKind::Inf, Ramp() );
   EXPECT_TRUE( std::isinf( inf.Floats()[At( 7, 9, 1 )] ) );
}

TEST( GraphWriter, WrongShapeGraphKeepsOneChannel )
{
   GraphRun run( GraphKind::WrongShape, Ramp() );
   ASSERT_EQ( TF_NumDims( run.Result() ), 4 );
   EXPECT_EQ( TF_Dim( run.Result(), 3 ), 1 );
   EXPECT_EQ( TF_TensorByteSize( run.Result() ), TileElements() / 3 * sizeof( float ) );
}

TEST( GraphWriter, WrongTypeGraphGivesDoubles )
{
   GraphRun run( GraphKind::WrongType, Ramp() );
   EXPECT_EQ( TF_TensorType( run.Result() ), TF_DOUBLE );
}

TEST( GraphWriter, KindsHaveTheirCommandLineNames )
{
   for ( const char* name : { "identity", "affine", "box", "network", "no-intro", "no-identity", "nan", "inf",
                              "wrong-shape", "wrong-type" } )
   {
      ASSERT_TRUE( project_pelk::graphs::ParseGraphKind( name ).has_value() ) << name;
      EXPECT_STREQ( project_pelk::graphs::GraphKindName( *project_pelk::graphs::ParseGraphKind( name ) ), name );
   }
   EXPECT_FALSE( project_pelk::graphs::ParseGraphKind( "Identity" ).has_value() );
}

} // namespace

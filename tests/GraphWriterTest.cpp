// What the graph tool's graphs do that no other test shows: the box filter's
// values (the engine's tests show the outputs it must refuse).
#include "framework/DLModelTensorflow.h"
#include "framework/TensorflowGuards.h"
#include "tests/TensorflowHandles.h"
#include "tools/GraphWriter.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

using pcl::DLModelTensorflow;
using project_pelk::graphs::TileSide;
namespace tf = project_pelk::tensorflow;

TEST( GraphWriter, BoxFilterAveragesEachChannelWithZerosBeyondTheEdge )
{
   std::vector<float> tile( TileElements() );
   for ( size_t i = 0; i < tile.size(); ++i )
      tile[i] = float( 1 + i % 3 ); // channel c holds c + 1

   // One run over the tile, as the denoise model runs it.
   tf::SessionGuard guard;
   guard.graph = ImportDirectly( project_pelk::graphs::GraphKind::BoxFilter ).release();
   guard.options = TF_NewSessionOptions();
   guard.status = TF_NewStatus();
   const TF_Output input = DLModelTensorflow::RequireOperation( guard.graph, "intro" );
   const TF_Output output = DLModelTensorflow::RequireOperation( guard.graph, "Identity" );
   guard.session = DLModelTensorflow::CreateSession( guard.graph, guard.options, guard.status );
   const std::vector<int64_t> dims = TileDims();
   tf::TensorGuard in( DLModelTensorflow::CreateTensor( TF_FLOAT, dims.data(), 4, tile.data(), tile.size() * sizeof( float ) ) );
   tf::TensorGuard result( nullptr );
   DLModelTensorflow::RunSession( guard.session, &input, in.Out(), &output, result.Out(), guard.status, "Run" );

   ASSERT_EQ( TF_TensorByteSize( result.Get() ), tile.size() * sizeof( float ) );
   const float* out = static_cast<const float*>( TF_TensorData( result.Get() ) );
   auto at = [&]( int64_t x, int64_t y, int64_t c ) { return out[( x * TileSide + y ) * 3 + c]; };
   for ( int c = 0; c < 3; ++c )
   {
      EXPECT_NEAR( at( 100, 200, c ), c + 1, 1e-5 );
      EXPECT_NEAR( at( 0, 0, c ), ( c + 1 ) * 4.0 / 9, 1e-5 );
      EXPECT_NEAR( at( 0, 300, c ), ( c + 1 ) * 6.0 / 9, 1e-5 );
   }
}

} // namespace

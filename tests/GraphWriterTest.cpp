// What the graph tool's graphs do that no other test shows: the box filter's
// values, and the shapes and types of the outputs the engine must refuse.
#include "framework/DLModelTensorflow.h"
#include "framework/TensorflowGuards.h"
#include "tests/TensorflowHandles.h"
#include "tools/GraphWriter.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

using pcl::DLModelTensorflow;
using project_pelk::graphs::GraphKind;
using project_pelk::graphs::TileSide;
namespace tf = project_pelk::tensorflow;

// One run of a graph over one tile, as the denoise model runs it.
class GraphRun
{
public:
   GraphRun( GraphKind kind, const std::vector<float>& tile )
   {
      guard.graph = ImportDirectly( kind ).release();
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
   float At( int64_t x, int64_t y, int64_t c ) const
   {
      return static_cast<const float*>( TF_TensorData( result.Get() ) )[( x * TileSide + y ) * 3 + c];
   }

private:
   tf::SessionGuard guard;
   tf::TensorGuard result{ nullptr };
};

TEST( GraphWriter, BoxFilterAveragesEachChannelWithZerosBeyondTheEdge )
{
   std::vector<float> tile( TileElements() );
   for ( size_t i = 0; i < tile.size(); ++i )
      tile[i] = float( 1 + i % 3 ); // channel c holds c + 1
   GraphRun run( GraphKind::BoxFilter, tile );
   ASSERT_EQ( TF_TensorByteSize( run.Result() ), tile.size() * sizeof( float ) );
   for ( int c = 0; c < 3; ++c )
   {
      EXPECT_NEAR( run.At( 100, 200, c ), c + 1, 1e-5 );
      EXPECT_NEAR( run.At( 0, 0, c ), ( c + 1 ) * 4.0 / 9, 1e-5 );
      EXPECT_NEAR( run.At( 0, 300, c ), ( c + 1 ) * 6.0 / 9, 1e-5 );
   }
}

TEST( GraphWriter, WrongShapeKeepsOneChannelAndWrongTypeGivesDoubles )
{
   const std::vector<float> tile( TileElements(), 0.5f );
   GraphRun shape( GraphKind::WrongShape, tile );
   ASSERT_EQ( TF_NumDims( shape.Result() ), 4 );
   EXPECT_EQ( TF_Dim( shape.Result(), 3 ), 1 );
   EXPECT_EQ( TF_TensorType( shape.Result() ), TF_FLOAT );
   GraphRun type( GraphKind::WrongType, tile );
   EXPECT_EQ( TF_TensorType( type.Result() ), TF_DOUBLE );
   EXPECT_EQ( TF_TensorByteSize( type.Result() ), TileElements() * sizeof( double ) );
}

} // namespace

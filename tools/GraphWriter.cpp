#include "tools/GraphWriter.h"

#include <tensorflow/c/c_api.h>

#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>

namespace project_pelk::graphs
{

namespace
{

struct GraphDeleter { void operator()( TF_Graph* g ) const noexcept { TF_DeleteGraph( g ); } };
struct StatusDeleter { void operator()( TF_Status* s ) const noexcept { TF_DeleteStatus( s ); } };
struct TensorDeleter { void operator()( TF_Tensor* t ) const noexcept { TF_DeleteTensor( t ); } };
struct BufferDeleter { void operator()( TF_Buffer* b ) const noexcept { TF_DeleteBuffer( b ); } };

using GraphPtr = std::unique_ptr<TF_Graph, GraphDeleter>;
using StatusPtr = std::unique_ptr<TF_Status, StatusDeleter>;
using TensorPtr = std::unique_ptr<TF_Tensor, TensorDeleter>;
using BufferPtr = std::unique_ptr<TF_Buffer, BufferDeleter>;

constexpr std::array<int64_t, 4> UnitStrides = { 1, 1, 1, 1 };

// Deterministic weights in [-1, 1), the same on every machine.
class WeightSource
{
public:
   float Next() noexcept
   {
      m_state = m_state * 1664525u + 1013904223u;
      return float( m_state >> 8 ) / float( 1u << 23 ) - 1.0f;
   }

private:
   uint32_t m_state = 20260518u;
};

// Adds operations to one graph; every step checks TensorFlow's status.
class Builder
{
public:
   Builder() : m_graph( TF_NewGraph() ), m_status( TF_NewStatus() )
   {
      if ( !m_graph || !m_status )
         throw std::runtime_error( "TensorFlow could not make a graph or a status" );
   }

   TF_Output Placeholder( const char* name, int64_t batch, TF_DataType type = TF_FLOAT, int64_t side = TileSide )
   {
      const int64_t dims[] = { batch, side, side, TileChannels };
      TF_OperationDescription* d = TF_NewOperation( m_graph.get(), "Placeholder", name );
      TF_SetAttrType( d, "dtype", type );
      TF_SetAttrShape( d, "shape", dims, 4 );
      return Finish( d, name );
   }

   TF_Output Constant( const char* name, TF_DataType type, std::vector<int64_t> dims, const void* data, size_t bytes )
   {
      TensorPtr tensor( TF_AllocateTensor( type, dims.data(), int( dims.size() ), bytes ) );
      if ( !tensor )
         throw std::runtime_error( std::string( "TensorFlow could not allocate the constant " ) + name );
      std::memcpy( TF_TensorData( tensor.get() ), data, bytes );
      TF_OperationDescription* d = TF_NewOperation( m_graph.get(), "Const", name );
      // The attribute takes a copy; the tensor stays ours.
      TF_SetAttrTensor( d, "value", tensor.get(), m_status.get() );
      // Only finishing frees a description, so a failure here is reported
      // after it; finishing would overwrite the status.
      const std::string attributeError = TF_GetCode( m_status.get() ) != TF_OK ? TF_Message( m_status.get() ) : "";
      TF_SetAttrType( d, "dtype", type );
      TF_Output constant = Finish( d, name );
      if ( !attributeError.empty() )
         throw std::runtime_error( std::string( "TensorFlow failed at " ) + name + ": " + attributeError );
      return constant;
   }

   TF_Output FloatConstant( const char* name, std::vector<int64_t> dims, const std::vector<float>& values )
   {
      return Constant( name, TF_FLOAT, std::move( dims ), values.data(), values.size() * sizeof( float ) );
   }

   TF_Output Int32Constant( const char* name, const std::vector<int32_t>& values )
   {
      return Constant( name, TF_INT32, { int64_t( values.size() ) }, values.data(), values.size() * sizeof( int32_t ) );
   }

   TF_Output Unary( const char* op, const char* name, TF_Output x )
   {
      TF_OperationDescription* d = TF_NewOperation( m_graph.get(), op, name );
      TF_AddInput( d, x );
      TF_SetAttrType( d, "T", TF_FLOAT );
      return Finish( d, name );
   }

   TF_Output Binary( const char* op, const char* name, TF_Output x, TF_Output y )
   {
      TF_OperationDescription* d = TF_NewOperation( m_graph.get(), op, name );
      TF_AddInput( d, x );
      TF_AddInput( d, y );
      TF_SetAttrType( d, "T", TF_FLOAT );
      return Finish( d, name );
   }

   // Conv2D or DepthwiseConv2dNative, stride 1, SAME padding.
   TF_Output Convolution( const char* op, const char* name, TF_Output x, TF_Output filter )
   {
      TF_OperationDescription* d = TF_NewOperation( m_graph.get(), op, name );
      TF_AddInput( d, x );
      TF_AddInput( d, filter );
      TF_SetAttrType( d, "T", TF_FLOAT );
      TF_SetAttrIntList( d, "strides", UnitStrides.data(), int( UnitStrides.size() ) );
      TF_SetAttrString( d, "padding", "SAME", 4 );
      return Finish( d, name );
   }

   TF_Output Slice( const char* name, TF_Output x, TF_Output begin, TF_Output size )
   {
      TF_OperationDescription* d = TF_NewOperation( m_graph.get(), "Slice", name );
      TF_AddInput( d, x );
      TF_AddInput( d, begin );
      TF_AddInput( d, size );
      TF_SetAttrType( d, "T", TF_FLOAT );
      TF_SetAttrType( d, "Index", TF_INT32 );
      return Finish( d, name );
   }

   TF_Output Transpose( const char* name, TF_Output x, TF_Output permutation )
   {
      TF_OperationDescription* d = TF_NewOperation( m_graph.get(), "Transpose", name );
      TF_AddInput( d, x );
      TF_AddInput( d, permutation );
      TF_SetAttrType( d, "T", TF_FLOAT );
      TF_SetAttrType( d, "Tperm", TF_INT32 );
      return Finish( d, name );
   }

   // x twice, one after the other along the axis.
   TF_Output ConcatTwice( const char* name, TF_Output x, TF_Output axis )
   {
      const TF_Output both[] = { x, x };
      TF_OperationDescription* d = TF_NewOperation( m_graph.get(), "ConcatV2", name );
      TF_AddInputList( d, both, 2 );
      TF_AddInput( d, axis );
      TF_SetAttrType( d, "T", TF_FLOAT );
      TF_SetAttrInt( d, "N", 2 );
      TF_SetAttrType( d, "Tidx", TF_INT32 );
      return Finish( d, name );
   }

   TF_Output Cast( const char* name, TF_Output x, TF_DataType to, TF_DataType from = TF_FLOAT )
   {
      TF_OperationDescription* d = TF_NewOperation( m_graph.get(), "Cast", name );
      TF_AddInput( d, x );
      TF_SetAttrType( d, "SrcT", from );
      TF_SetAttrType( d, "DstT", to );
      return Finish( d, name );
   }

   // An Identity operation under the given name, passing on any element type.
   TF_Output Output( const char* name, TF_Output x, TF_DataType type = TF_FLOAT )
   {
      TF_OperationDescription* d = TF_NewOperation( m_graph.get(), "Identity", name );
      TF_AddInput( d, x );
      TF_SetAttrType( d, "T", type );
      return Finish( d, name );
   }

   std::string Serialize()
   {
      BufferPtr buffer( TF_NewBuffer() );
      if ( !buffer )
         throw std::runtime_error( "TensorFlow could not make a buffer" );
      TF_GraphToGraphDef( m_graph.get(), buffer.get(), m_status.get() );
      Check( "serializing the graph" );
      return std::string( static_cast<const char*>( buffer->data ), buffer->length );
   }

private:
   GraphPtr m_graph;
   StatusPtr m_status;

   TF_Output Finish( TF_OperationDescription* d, const char* name )
   {
      // TF_FinishOperation frees the description whatever the outcome.
      TF_Operation* op = TF_FinishOperation( d, m_status.get() );
      Check( name );
      return TF_Output{ op, 0 };
   }

   void Check( const char* what )
   {
      if ( TF_GetCode( m_status.get() ) != TF_OK )
         throw std::runtime_error( std::string( "TensorFlow failed at " ) + what + ": " + TF_Message( m_status.get() ) );
   }
};

// 3 x 3 filter of in -> out channels, scaled to keep activations of order one.
std::vector<float> ConvolutionWeights( WeightSource& source, int in, int out )
{
   std::vector<float> w( size_t( 9 * in * out ) );
   const float scale = std::sqrt( 3.0f / float( 9 * in ) );
   for ( float& v : w )
      v = scale * source.Next();
   return w;
}

TF_Output Network( Builder& b, TF_Output x, int width )
{
   const int Channels[] = { 3, width, width, width, width, 3 };
   static constexpr const char* Names[][3] = {
      { "conv1/filter", "conv1/bias", "conv1" },
      { "conv2/filter", "conv2/bias", "conv2" },
      { "conv3/filter", "conv3/bias", "conv3" },
      { "conv4/filter", "conv4/bias", "conv4" },
      { "conv5/filter", "conv5/bias", "conv5" },
   };
   static constexpr const char* ReluNames[] = { "relu1", "relu2", "relu3", "relu4" };
   static constexpr const char* BiasNames[] = { "conv1/add", "conv2/add", "conv3/add", "conv4/add", "conv5/add" };
   WeightSource source;
   for ( int layer = 0; layer < 5; ++layer )
   {
      const int in = Channels[layer], out = Channels[layer + 1];
      TF_Output filter = b.FloatConstant( Names[layer][0], { 3, 3, in, out }, ConvolutionWeights( source, in, out ) );
      std::vector<float> biasValues( static_cast<size_t>( out ) );
      for ( float& v : biasValues )
         v = 0.01f * source.Next();
      TF_Output bias = b.FloatConstant( Names[layer][1], { out }, biasValues );
      x = b.Convolution( "Conv2D", Names[layer][2], x, filter );
      x = b.Binary( "BiasAdd", BiasNames[layer], x, bias );
      if ( layer < 4 )
         x = b.Unary( "Relu", ReluNames[layer], x );
   }
   return x;
}

} // namespace

const char* GraphKindName( GraphKind kind ) noexcept
{
   switch ( kind )
   {
   case GraphKind::Identity:   return "identity";
   case GraphKind::Affine:     return "affine";
   case GraphKind::BoxFilter:  return "box";
   case GraphKind::Network:    return "network";
   case GraphKind::NoIntro:    return "no-intro";
   case GraphKind::NoIdentity: return "no-identity";
   case GraphKind::NaN:        return "nan";
   case GraphKind::Inf:        return "inf";
   case GraphKind::WrongShape: return "wrong-shape";
   case GraphKind::WrongType:  return "wrong-type";
   case GraphKind::Transposed: return "transposed";
   case GraphKind::TwiceAsWide: return "twice-as-wide";
   case GraphKind::TwiceTheBatch: return "twice-the-batch";
   case GraphKind::IntIntro:   return "int-intro";
   case GraphKind::SmallIntro: return "small-intro";
   }
   return "";
}

std::optional<GraphKind> ParseGraphKind( std::string_view name ) noexcept
{
   for ( GraphKind kind : AllGraphKinds )
      if ( name == GraphKindName( kind ) )
         return kind;
   return std::nullopt;
}

std::string MakeGraphDef( GraphKind kind, const GraphParameters& parameters )
{
   Builder b;
   const TF_DataType introType = kind == GraphKind::IntIntro ? TF_INT32 : TF_FLOAT;
   const int64_t introSide = kind == GraphKind::SmallIntro ? TileSide / 2 : TileSide;
   TF_Output x = b.Placeholder( kind == GraphKind::NoIntro ? "input" : "intro", parameters.batch, introType, introSide );
   switch ( kind )
   {
   case GraphKind::Identity:
   case GraphKind::NoIntro:
   case GraphKind::SmallIntro:
      b.Output( "Identity", x );
      break;
   case GraphKind::IntIntro:
      b.Output( "Identity", b.Cast( "cast", x, TF_FLOAT, TF_INT32 ) );
      break;
   case GraphKind::Transposed:
      b.Output( "Identity", b.Transpose( "transpose", x, b.Int32Constant( "transpose/perm", { 0, 3, 1, 2 } ) ) );
      break;
   case GraphKind::TwiceAsWide:
   case GraphKind::TwiceTheBatch:
   {
      const int32_t axis = kind == GraphKind::TwiceAsWide ? 1 : 0;
      TF_Output a = b.Constant( "concat/axis", TF_INT32, {}, &axis, sizeof axis );
      b.Output( "Identity", b.ConcatTwice( "concat", x, a ) );
      break;
   }
   case GraphKind::NoIdentity:
      b.Output( "output", x );
      break;
   case GraphKind::Affine:
   {
      TF_Output a = b.FloatConstant( "scale", {}, { parameters.scale } );
      TF_Output c = b.FloatConstant( "offset", {}, { parameters.offset } );
      b.Output( "Identity", b.Binary( "AddV2", "add", b.Binary( "Mul", "mul", x, a ), c ) );
      break;
   }
   case GraphKind::BoxFilter:
   {
      TF_Output filter = b.FloatConstant( "box/filter", { 3, 3, TileChannels, 1 },
                                          std::vector<float>( size_t( 9 * TileChannels ), 1.0f / 9 ) );
      b.Output( "Identity", b.Convolution( "DepthwiseConv2dNative", "box", x, filter ) );
      break;
   }
   case GraphKind::Network:
      b.Output( "Identity", Network( b, x, parameters.width ) );
      break;
   case GraphKind::NaN:
   {
      TF_Output nan = b.FloatConstant( "nan", {}, { std::numeric_limits<float>::quiet_NaN() } );
      b.Output( "Identity", b.Binary( "Mul", "mul", x, nan ) );
      break;
   }
   case GraphKind::Inf:
   {
      TF_Output inf = b.FloatConstant( "inf", {}, { std::numeric_limits<float>::infinity() } );
      b.Output( "Identity", b.Binary( "AddV2", "add", x, inf ) );
      break;
   }
   case GraphKind::WrongShape:
   {
      TF_Output begin = b.Int32Constant( "slice/begin", { 0, 0, 0, 0 } );
      TF_Output size = b.Int32Constant( "slice/size", { -1, -1, -1, 1 } );
      b.Output( "Identity", b.Slice( "slice", x, begin, size ) );
      break;
   }
   case GraphKind::WrongType:
      b.Output( "Identity", b.Cast( "cast", x, TF_DOUBLE ), TF_DOUBLE );
      break;
   }
   return b.Serialize();
}

void WriteGraphFile( const std::string& path, GraphKind kind, const GraphParameters& parameters )
{
   const std::string bytes = MakeGraphDef( kind, parameters );
   std::ofstream file( path, std::ios::binary | std::ios::trunc );
   if ( !file )
      throw std::runtime_error( "cannot open " + path + " for writing" );
   file.write( bytes.data(), std::streamsize( bytes.size() ) );
   file.close();
   if ( !file )
      throw std::runtime_error( "cannot write " + path );
}

} // project_pelk::graphs

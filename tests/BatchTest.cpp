// Input batches cut from the source and the weighted accumulation of the
// network's output, against the straightforward steps, bit for bit.
#include "ReferencePipeline.h"

#include "framework/DLModelBase.h"
#include "tests/ErrorOf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace pcl;

namespace
{

using Image = GenericImage<DoublePixelTraits>;

struct Geometry
{
   int width, height, colorSpace;
   int window = 512, stride = 480, batch = 1;
};

std::string Name( const Geometry& k )
{
   return std::to_string( k.width ) + "x" + std::to_string( k.height ) + ( k.colorSpace == ColorSpace::RGB ? " RGB" : " gray" ) +
          " window " + std::to_string( k.window ) + " stride " + std::to_string( k.stride ) + " batch " +
          std::to_string( k.batch );
}

template <class P>
DLModelBase ModelFor( GenericImage<P>& image, const Geometry& k )
{
   DLModelBase m;
   m.windowSize = k.window;
   m.batchSize = k.batch;
   m.stride = k.stride;
   m.margin = ( k.window - k.stride ) / 2;
   m.ReadImageProps( image, false );
   return m;
}

size_t SlotSize( const DLModelBase& m )
{
   return size_t( m.windowSize ) * m.windowSize * 3;
}

// ---------------------------------------------------------------------------
// GetInputBatch

template <class P>
void ExpectTheStraightforwardBatches( const Geometry& k )
{
   SCOPED_TRACE( Name( k ) + ", " + std::to_string( P::BitsPerSample() ) + " bits" );
   // Beyond [0, 1] too: floating-point samples are not clamped.
   GenericImage<P> image = reference::RandomImage<P>( k.width, k.height, k.colorSpace, -0.25, 1.25, 3 );
   DLModelBase m = ModelFor( image, k );
   Image padded( m.paddedWidth, m.paddedHeight, k.colorSpace );
   reference::FillPaddedImage( m, image, padded );
   std::vector<float> got( m.batchSize * SlotSize( m ), -1.0f );
   for ( int start = 0; start < m.tileCount; start += m.batchSize )
   {
      m.GetInputBatch( image, start, got.data() );
      const Array<float> expected = reference::GetInputBatch( m, padded, start );
      ASSERT_EQ( std::memcmp( got.data(), expected.Begin(), expected.Size() ), 0 ) << "batch at tile " << start;
   }
}

TEST( GetInputBatch, CutsTheMirroredTilesOfEveryPixelType )
{
   ExpectTheStraightforwardBatches<FloatPixelTraits>( { 1000, 700, ColorSpace::RGB } ); // a tile inside the image
   ExpectTheStraightforwardBatches<DoublePixelTraits>( { 961, 512, ColorSpace::Gray } );
   ExpectTheStraightforwardBatches<UInt8PixelTraits>( { 512, 512, ColorSpace::RGB } ); // pads of 464
   ExpectTheStraightforwardBatches<UInt16PixelTraits>( { 960, 961, ColorSpace::Gray, 512, 480, 4 } ); // empty slots
   ExpectTheStraightforwardBatches<UInt32PixelTraits>( { 700, 1000, ColorSpace::RGB } );
   // Tile sides that are not a multiple of the blocks the tiles are cut in.
   ExpectTheStraightforwardBatches<FloatPixelTraits>( { 90, 75, ColorSpace::RGB, 40, 24, 3 } );
}

// The layout and the mirror sample by sample, independently of the
// straightforward version: element ( i, j, c ) of a tile is column i, row j.
TEST( GetInputBatch, TileElementsAreMirroredImageSamples )
{
   GenericImage<FloatPixelTraits> image = reference::RandomImage<FloatPixelTraits>( 960, 960, ColorSpace::RGB, 0, 1, 1 );
   DLModelBase m = ModelFor( image, { 960, 960, ColorSpace::RGB } );
   const struct
   {
      int tile, i, j, x, y;
   } cases[] = {
      { 0, 15, 16 + 300, 0, 300 },   // the first sample outside an edge is the edge sample
      { 0, 0, 16 + 300, 15, 300 },   // the sixteenth, the sixteenth column
      { 0, 0, 0, 15, 15 },           // a corner: mirrored both ways
      { 0, 16 + 2, 16 + 9, 2, 9 },   // column 2, row 9: transposed against row-major order
      { 3, 496, 100, 959, 564 },     // origin (480, 480): the right edge
      { 3, 511, 511, 944, 944 },
   };
   std::vector<float> batch( SlotSize( m ) );
   for ( const auto& k : cases )
   {
      m.GetInputBatch( image, k.tile, batch.data() );
      for ( int c = 0; c < 3; ++c )
         EXPECT_EQ( batch[( size_t( k.i ) * 512 + k.j ) * 3 + c], image( k.x, k.y, c ) )
            << "tile " << k.tile << " at " << k.i << ", " << k.j;
   }
}

// ---------------------------------------------------------------------------
// WriteOutputBatch

// The module's accumulation of a whole run, the finished part collected into
// an image of the source's size, checked as it comes: each pixel handed on
// once, and none before the last tile that reads it (the consumer may
// overwrite it in the source).
class Accumulation
{
public:
   Accumulation( DLModelBase& m )
      : m_model( m )
      , m_result( m.width, m.height, m.colorSpace )
      , m_count( size_t( m.width ) * m.height, 0 )
      , m_output( m.geometry, m.numberOfChannels, [this]( const project_pelk::FinishedColumns& f ) { Take( f ); } )
   {
   }

   // Adds the batch starting at `start`, after checking that no pixel its
   // tiles read has been handed on yet; returns the error, if any.
   std::string Add( const std::vector<float>& data, int start )
   {
      for ( int b = 0; b < m_model.batchSize && start + b < m_model.tileCount; ++b )
         ExpectNotHandedOn( start + b );
      return ErrorOf( [&] { m_model.WriteOutputBatch( m_output, data.data(), start ); } );
   }

   // Every pixel handed on exactly once.
   bool Complete() const { return std::all_of( m_count.begin(), m_count.end(), []( int n ) { return n == 1; } ); }

   const Image& Result() const { return m_result; }

private:
   void Take( const project_pelk::FinishedColumns& f )
   {
      for ( int y = f.y0; y < f.y1; ++y )
         for ( int x = f.x0; x < f.x1; ++x )
         {
            ++m_count[size_t( y ) * m_model.width + x];
            for ( int c = 0; c < m_model.numberOfChannels; ++c )
               m_result( x, y, c ) = f.Row( c, y )[x - f.x0];
         }
   }

   void ExpectNotHandedOn( int tile )
   {
      const DLModelBase& m = m_model;
      const auto [x0, y0] = m.geometry.TileCoords( tile );
      auto mirror = []( int q, int size ) { return q < 0 ? -1 - q : ( q >= size ? 2 * size - 1 - q : q ); };
      for ( int j = 0; j < m.windowSize; ++j )
         for ( int i = 0; i < m.windowSize; ++i )
         {
            const int x = mirror( x0 + i - m.padLeft, m.width ), y = mirror( y0 + j - m.padTop, m.height );
            ASSERT_EQ( m_count[size_t( y ) * m.width + x], 0 ) << "tile " << tile << " reads " << x << ", " << y;
         }
   }

   DLModelBase& m_model;
   Image m_result;
   std::vector<int> m_count;
   project_pelk::TileAccumulator m_output;
};

std::vector<float> RandomTensor( const DLModelBase& m, float lo, float hi, unsigned seed )
{
   std::vector<float> data( m.batchSize * SlotSize( m ) );
   std::mt19937 rng( seed );
   std::uniform_real_distribution<float> u( lo, hi );
   for ( float& v : data )
      v = u( rng );
   return data;
}

TEST( WriteOutputBatch, EqualsTheStraightforwardAccumulationCroppedBitForBit )
{
   const Geometry cases[] = {
      { 1000, 700, ColorSpace::RGB },              // the system's geometry
      { 512, 512, ColorSpace::Gray, 512, 480, 4 }, // pads of 464, mirrored; an incomplete last batch
      { 961, 961, ColorSpace::RGB },               // pads wider than the stride
      { 100, 80, ColorSpace::RGB, 64, 48, 3 },     // ramps over 16 pixels
      { 100, 80, ColorSpace::Gray, 64, 24, 2 },    // stride below half the window
      { 129, 200, ColorSpace::RGB, 64, 16, 1 },    // stride below the margin
      { 70, 65, ColorSpace::RGB, 32, 32, 2 },      // no overlap
      { 90, 75, ColorSpace::RGB, 40, 24, 3 },      // blocks of rows and columns not multiples of 16
   };
   for ( const Geometry& k : cases )
   {
      SCOPED_TRACE( Name( k ) );
      GenericImage<FloatPixelTraits> source( k.width, k.height, k.colorSpace );
      DLModelBase m = ModelFor( source, k );
      Accumulation got( m );
      Image expected( m.paddedWidth, m.paddedHeight, k.colorSpace );
      unsigned seed = 11;
      for ( int start = 0; start < m.tileCount; start += m.batchSize )
      {
         // Outside [0, 1] too, so that the clamps take part.
         const std::vector<float> data = RandomTensor( m, -0.3f, 1.3f, seed++ );
         ASSERT_EQ( got.Add( data, start ), "no error" );
         reference::WriteOutputBatch( m, expected, data.data(), start );
      }
      expected.CropBy( -m.padLeft, -m.padTop, -m.padRight, -m.padBottom );
      EXPECT_TRUE( got.Complete() );
      EXPECT_TRUE( reference::SameBits( got.Result(), expected ) );
   }
}

// Sums worked out by hand: every partial sum is clamped before the next is
// added; a grayscale pixel receives the three channels' mean.
TEST( WriteOutputBatch, EachPartialSumIsNarrowedAndClamped )
{
   const float channels[] = { 0.3f, 0.6f, 0.9f };
   const struct
   {
      int colorSpace;
      std::vector<float> tiles; // the output of every tile, constant
      int x, y, c;             // an image pixel
      double expected;
   } cases[] = {
      // Image pixel (480, 84): column offset 496 of tile 0 and 16 of tile 2,
      // weight 0.5 in both; -0.1 is clamped to 0 before 0.4 is added.
      { ColorSpace::RGB, { -0.2f, 0, 0.8f, 0, 0, 0 }, 480, 84, 1, 0.4 },
      { ColorSpace::RGB, { 1.5f, 0, 0, 0, 0, 0 }, 84, 84, 2, 1.0 },
      // Channels 0.3, 0.6 and 0.9 of tile 0 (`tiles` negative: per channel).
      { ColorSpace::Gray, { -1, 0, 0, 0, 0, 0 }, 84, 84, 0, 0.6 },
   };
   for ( const auto& k : cases )
   {
      GenericImage<FloatPixelTraits> source( 1000, 700, k.colorSpace );
      DLModelBase m = ModelFor( source, { 1000, 700, k.colorSpace } );
      Accumulation got( m );
      for ( int t = 0; t < m.tileCount; ++t )
      {
         std::vector<float> data( SlotSize( m ), k.tiles[t] );
         if ( k.tiles[t] < -0.5f )
            for ( size_t e = 0; e < data.size(); ++e )
               data[e] = channels[e % 3];
         ASSERT_EQ( got.Add( data, t ), "no error" );
      }
      // Up to the narrowing, which the comparison with the straightforward
      // accumulation pins.
      EXPECT_NEAR( got.Result()( k.x, k.y, k.c ), k.expected, 1e-7 );
   }
}

// The first tile, in tile order, with a sample that is not finite anywhere in
// its accumulation window names the error; slots past the last tile do not
// count.
TEST( WriteOutputBatch, ANonFiniteSampleNamesItsTile )
{
   const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
   const std::string sample = "Model output contains a non-finite sample at tile ";
   const struct
   {
      int colorSpace, batch, start, slot, i, j, c;
      float bad;
      std::string message;
   } cases[] = {
      { ColorSpace::RGB, 2, 2, 1, 300, 200, 0, nan, sample + "3." },
      { ColorSpace::RGB, 2, 4, 0, 300, 200, 2, inf, sample + "4." },
      { ColorSpace::RGB, 2, 0, 1, 511, 511, 1, -inf, sample + "1." },
      { ColorSpace::Gray, 1, 4, 0, 100, 20, 2, nan, sample + "4." }, // column 1060: in the pad
      { ColorSpace::Gray, 4, 4, 2, 5, 5, 0, nan, "no error" },       // slots 2 and 3 hold no tile
   };
   for ( const auto& k : cases )
   {
      GenericImage<FloatPixelTraits> source( 1000, 700, k.colorSpace );
      DLModelBase m = ModelFor( source, { 1000, 700, k.colorSpace, 512, 480, k.batch } );
      Accumulation got( m );
      Image expected( m.paddedWidth, m.paddedHeight, k.colorSpace );
      for ( int start = 0; start < k.start; start += m.batchSize )
      {
         const std::vector<float> data = RandomTensor( m, 0, 1, 7 );
         ASSERT_EQ( got.Add( data, start ), "no error" );
      }
      std::vector<float> data = RandomTensor( m, 0, 1, 31 );
      data[k.slot * SlotSize( m ) + ( size_t( k.i ) * 512 + k.j ) * 3 + k.c] = k.bad;
      if ( k.slot == 2 )
         std::fill( data.begin() + 2 * SlotSize( m ), data.end(), nan );
      EXPECT_EQ( got.Add( data, k.start ), k.message );
      EXPECT_EQ( ErrorOf( [&] { reference::WriteOutputBatch( m, expected, data.data(), k.start ); } ), k.message );
   }
}

} // namespace

// Whole runs against the straightforward pipeline, bit for bit, and the
// finiteness check.
#include "HostFixture.h"
#include "ReferencePipeline.h"

#include "framework/Simd.h"
#include "module/VelqoraTensorflow.h"
#include "tests/ErrorOf.h"
#include "tests/InstalledModule.h"
#include "tests/ScratchDirectory.h"
#include "tools/GraphWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

using namespace pcl;

namespace
{

class PipelineTest : public HostTest
{
protected:
   ScratchDirectory m_dir;
   WorkingDirectory m_cwd{ m_dir.Path() };
};

// With the identity network, the module's run and the straightforward one on
// an identical view leave the same bits, for every pixel type, both modes,
// each way of undoing the stretch, and strengths between 0 and 1.
TEST_F( PipelineTest, RunsEqualTheStraightforwardPipelineBitForBit )
{
   // CI runs this comparison under each VELQORA_SIMD cap: the run must be at
   // the level named (or the processor's, when lower), or the cap tests nothing.
   using project_pelk::SimdLevel;
   if ( const char* cap = std::getenv( "VELQORA_SIMD" ) )
      for ( SimdLevel l : { SimdLevel::Portable, SimdLevel::Avx2, SimdLevel::Avx512 } )
      {
         if ( std::strcmp( cap, project_pelk::SimdLevelName( l ) ) == 0 )
         {
            EXPECT_EQ( project_pelk::ActiveSimdLevel(), std::min( l, project_pelk::ProcessorSimdLevel() ) );
         }
      }
   project_pelk::graphs::WriteGraphFile( "Velqora_weights_v2.pb", project_pelk::graphs::GraphKind::Identity );
   const std::optional<host_stf> automatic, user = host_stf{ 0.2, 0.1, 1, 0, 1 }, shadows = host_stf{ 0.5, 0.1, 1, 0, 1 };
   const struct
   {
      bool isFloat;
      int bits, width, height, colorSpace;
      bool linear;
      std::optional<host_stf> stf;
      double amount;
   } cases[] = {
      { true, 32, 517, 530, ColorSpace::RGB, false, automatic, 1.0 },
      { true, 32, 1000, 700, ColorSpace::RGB, true, automatic, 0.3 },
      { true, 64, 517, 530, ColorSpace::Gray, true, user, 1.0 },
      { false, 8, 517, 530, ColorSpace::RGB, false, automatic, 0.3 },
      { false, 16, 517, 530, ColorSpace::Gray, true, automatic, 0.0 },
      { false, 16, 600, 520, ColorSpace::RGB, true, shadows, 0.7 }, // the midtones transfer is the identity
      { false, 32, 961, 512, ColorSpace::RGB, true, automatic, 1.0 },
   };
   for ( const auto& k : cases )
      DispatchPixelType( k.isFloat, k.bits, [&]( auto type ) {
         using P = typename decltype( type )::type;
         SCOPED_TRACE( std::string( project_pelk::SimdLevelName( project_pelk::ActiveSimdLevel() ) ) + ", " +
                       std::to_string( k.bits ) + " bits, " + std::to_string( k.width ) + "x" +
                       std::to_string( k.height ) + ( k.linear ? ", linear" : "" ) );
         host::View& module = PatternView<P>( k.width, k.height, k.colorSpace, k.stf, 0.55 );
         host::View& straightforward = PatternView<P>( k.width, k.height, k.colorSpace, k.stf, 0.55 );

         VelqoraInstance instance = DefaultInstance();
         instance.linear = k.linear;
         instance.amount = k.amount;
         View moduleView( module.Handle() );
         ImageVariant moduleImage = moduleView.Image();
         VelqoraEngine::Apply<P>( moduleImage.Image<P>(), moduleView, instance );

         View view( straightforward.Handle() );
         ImageVariant variant = view.Image();
         GenericImage<P>& image = variant.Image<P>();
         DLModelBase m = reference::SystemModel( image );
         view.GetScreenTransferFunctions( m.stf );
         reference::Run( m, image, view, k.linear, k.amount, []( Array<float>& ) {} );

         for ( int c = 0; c < module.NumberOfChannels(); ++c )
            EXPECT_EQ( std::memcmp( module.Samples<char>( c ), straightforward.Samples<char>( c ),
                                    module.BytesPerChannel() ),
                       0 )
               << "channel " << c;
      } );
}

// 8- and 16-bit samples are stretched in one pass through a table: every
// sample value must end as the subtraction and then the transformation leave it.
TEST_F( PipelineTest, SmallIntegerStretchEqualsTheSubtractionThenTheTransformation )
{
   auto check = [&]<class P>( P, host_stf stf ) {
      host::View& v = PatternView<P>( 512, 512, ColorSpace::Gray, stf );
      auto* samples = v.Samples<typename P::sample>( 0 );
      for ( size_t i = 0; i < 512 * 512; ++i )
         samples[i] = typename P::sample( i % ( size_t( P::MaxSampleValue() ) + 1 ) );
      View view( v.Handle() );
      ImageVariant variant = view.Image();
      GenericImage<P>& image = variant.Image<P>();
      GenericImage<P> expected = GenericImage<P>::OwnedCopy( image );
      DLModelBase m = reference::SystemModel( image );
      view.GetScreenTransferFunctions( m.stf );
      m.StretchImage( image, view );
      expected.Subtract( stf.c0 );
      HistogramTransformation( stf.m, 0, 1, 0, 1 ) >> expected;
      EXPECT_EQ( std::memcmp( image.PixelData( 0 ), expected.PixelData( 0 ), image.NumberOfPixels() * sizeof( typename P::sample ) ), 0 )
         << P::BitsPerSample() << " bits, m " << stf.m;
   };
   for ( const host_stf& stf : { host_stf{ 0.2, 0.1, 1, 0, 1 }, host_stf{ 0.5, 0.3, 1, 0, 1 } } )
   {
      check( UInt8PixelTraits(), stf );
      check( UInt16PixelTraits(), stf );
   }
}

// ---------------------------------------------------------------------------
// ValidateFiniteImage

TEST( ValidateFiniteImage, RefusesANaNOrAnInfinityAnywhereRegardlessOfSelection )
{
   const std::string refusal = "Velqora linear denoized image after destretch contains non-finite sample values.";
   const struct
   {
      int x, y, c;
      double value;
      bool refused;
   } cases[] = {
      { 36, 22, 2, std::numeric_limits<double>::quiet_NaN(), true }, // the last sample of the last channel
      { 0, 0, 0, -std::numeric_limits<double>::infinity(), true },
      { 5, 3, 1, std::numeric_limits<double>::infinity(), true },
      { 20, 10, 0, std::numeric_limits<float>::max(), false },
      { 21, 10, 1, std::numeric_limits<float>::denorm_min(), false },
   };
   auto check = [&]<class P>( P ) {
      for ( const auto& k : cases )
      {
         GenericImage<P> image( 37, 23, ColorSpace::RGB );
         image = 0.5;
         image( k.x, k.y, k.c ) = typename P::sample( k.value );
         image.SelectChannel( 0 );
         image.SelectRectangle( Rect{ 10, 10, 12, 12 } );
         EXPECT_EQ( ErrorOf( [&] { DLModelBase().ValidateFiniteImage( image, "Velqora linear denoized image after destretch" ); } ),
                    k.refused ? refusal : "no error" )
            << P::BitsPerSample() << " bits, " << k.x << ", " << k.y << ", " << k.c;
      }
   };
   check( FloatPixelTraits() );
   check( DoublePixelTraits() );

   GenericImage<UInt16PixelTraits> integer( 9, 9, ColorSpace::Gray );
   integer = 1.0;
   EXPECT_EQ( ErrorOf( [&] { DLModelBase().ValidateFiniteImage( integer, "x" ); } ), "no error" );
}

} // namespace

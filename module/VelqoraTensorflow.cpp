#include "module/VelqoraTensorflow.h"

#include "framework/TensorflowGuards.h"
#include "platform/core/Console.h"
#include "platform/core/Exception.h"
#include "platform/image/StandardStatus.h"
#include "platform/image/StatusMonitor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace pcl
{

namespace
{

const char* const InferenceContext = "Velqora TensorFlow inference failed";

// Keeps a copy of the source image while a run may leave it stretched, and
// puts it back unless the run completes. Undoing the stretch would not do: it
// clips the shadows.
template <class P>
class SourceRestorer
{
public:
   SourceRestorer( GenericImage<P>& image, bool keep ) : m_image( image )
   {
      if ( keep )
         m_original = GenericImage<P>::OwnedCopy( image );
   }

   ~SourceRestorer()
   {
      if ( m_original.IsEmpty() )
         return;
      // Same geometry as the original: the pipeline never reallocates the source.
      for ( int c = 0; c < m_original.NumberOfChannels(); ++c )
         std::memcpy( m_image.PixelData( c ), m_original.PixelData( c ),
                      m_original.NumberOfPixels() * sizeof( typename P::sample ) );
   }

   // The source as it was before the run; empty when none was kept.
   const GenericImage<P>& Original() const noexcept { return m_original; }

   // The run completed: the image holds the result.
   void Dismiss() noexcept { m_original.FreeData(); }

   SourceRestorer( const SourceRestorer& ) = delete;
   SourceRestorer& operator=( const SourceRestorer& ) = delete;

private:
   GenericImage<P>& m_image;
   GenericImage<P> m_original;
};

// result = amount × denoised + (1 − amount) × source, written into `image`,
// which may be the source itself. One pass with the arithmetic of the
// three-image form: the source scaled within its own sample type, the denoised
// image scaled in 64 bits, their sum in 64 bits, stored in the source's type.
// No temporaries.
template <class P>
void MixInto( GenericImage<P>& image, const GenericImage<P>& source, const GenericImage<DoublePixelTraits>& denoised,
              double amount )
{
   const double keep = 1 - amount;
   const size_t count = image.NumberOfPixels();
   for ( int c = 0; c < image.NumberOfChannels(); ++c )
   {
      typename P::sample* out = image.PixelData( c );
      const typename P::sample* s = source.PixelData( c );
      const double* d = denoised.PixelData( c );
      for ( size_t i = 0; i < count; ++i )
      {
         const typename P::sample a = P::ToSample( keep * P::FromSample( s[i] ) );
         out[i] = P::ToSample( amount * d[i] + P::FromSample( a ) );
      }
   }
}

// A parameter value that would destroy the image instead of denoising it.
// Scripts and the interface write the values directly, so the host's range
// check on the parameters is not enough.
void CheckParameters( double amount, double shadowsClipping, double targetBackground )
{
   // The shortest text that reads back as the same value, so that a value
   // just outside a bound does not show as the bound.
   auto text = []( double value ) {
      char buffer[32];
      return String( std::string( buffer, std::to_chars( buffer, buffer + sizeof buffer, value ).ptr ) );
   };
   if ( !( amount >= 0 && amount <= 1 ) )
      throw Error( "Invalid amount: " + text( amount ) + "! Should be between 0 and 1!" );
   if ( !std::isfinite( shadowsClipping ) )
      throw Error( "Invalid shadows_clipping: " + text( shadowsClipping ) + "! Should be a finite number!" );
   if ( !( targetBackground > 0 && targetBackground < 1 ) )
      throw Error( "Invalid target_background: " + text( targetBackground ) +
                   "! Should be greater than 0 and less than 1!" );
}

} // namespace

VelqoraModel::VelqoraModel( int window, int batch, int stride_, int version, bool linear_, double amount_,
                            double shadowsClipping_, double targetBackground_ )
{
   windowSize = window;
   batchSize = batch;
   stride = stride_;
   modelVersion = version;
   linear = linear_;
   amount = amount_;
   shadowsClipping = shadowsClipping_;
   targetBackground = targetBackground_;
   margin = ( window - stride_ ) / 2;
}

VelqoraModel::~VelqoraModel() = default;

void VelqoraModel::PrintIntroGraphic()
{
   // 51 characters each, trailing blanks included.
   static constexpr GraphicLine lines[] = {
      { "\033[1;38;2;226;10;10m", R"(       __      __  _                               )" },
      { "\033[1;38;2;205;10;49m", R"(       \ \    / /__| | __ _  ___  _ __ __ _        )" },
      { "\033[1;38;2;183;10;96m", R"(        \ \  / / _ \ |/ _` |/ _ \| '__/ _` |       )" },
      { "\033[1;38;2;162;10;140m", R"(         \ \/ /  __/ | (_| | (_) | | | (_| |       )" },
      { "\033[1;38;2;140;10;183m", R"(          \__/ \___|_|\__, |\___/|_|  \__,_|       )" },
      { "\033[1;38;2;118;10;226m", R"(                         |_|                       )" },
   };
   PrintGraphic( lines );
}

template <class P>
void VelqoraModel::Apply( GenericImage<P>& image, View& view )
{
   using namespace project_pelk::tensorflow;

   PrintIntroGraphic();
   Console::WriteLn( "<end><cbr>Starting denoising procedure..." );
   Console::WriteLn( "Model version: " + String( modelVersion ) );
   CheckParameters( amount, shadowsClipping, targetBackground );

   ReadImageProps( image, true );
   if ( colorSpace != ColorSpace::RGB && modelVersion == 1 )
      throw Error( "This model version only supports RGB images!" );
   // A NaN or an infinity would pass through the network and be blamed on it,
   // or be clipped away unseen by the stretch.
   ValidateFiniteImage( image, "Velqora source image" );

   view.GetScreenTransferFunctions( stf );

   SourceRestorer<P> restorer( image, linear );
   if ( linear )
      StretchImage( image, view );

   // New images are zero-filled.
   GenericImage<DoublePixelTraits> padded( paddedWidth, paddedHeight, image.ColorSpace() );
   GenericImage<DoublePixelTraits> output( paddedWidth, paddedHeight, image.ColorSpace() );
   FillPaddedImage( image, padded );

   Console::WriteLn( "Restoring neural network checkpoint... " );

   SessionGuard session;
   session.graph = LoadModel( modelVersion == 1 ? "Velqora_weights_v1.pb" : "Velqora_weights_v2.pb" );
   const int64_t dims[4] = { batchSize, windowSize, windowSize, 3 };
   const TF_Output input = RequireInputOperation( session.graph, "intro", TF_FLOAT, dims, 4 );
   Array<float> batch;
   session.options = TF_NewSessionOptions();
   session.status = TF_NewStatus();
   const TF_Output outputOperation = RequireOperation( session.graph, "Identity" );
   session.session = CreateSession( session.graph, session.options, session.status );

   if ( tileCount > 399 )
      PrintCoffeeGraphic();

   Console::EnableAbort();
   StandardStatus status;
   StatusMonitor monitor;
   monitor.SetCallback( &status );
   monitor.Initialize( String::Format( "Processing %d image tiles", tileCount ), size_t( tileCount ) );

   for ( int start = 0; start < tileCount; start += batchSize )
   {
      batch = GetInputBatch( padded, start );
      TensorGuard inputTensor( CreateTensor( TF_FLOAT, dims, 4, batch.Begin(), batch.Size() ) );
      TensorGuard outputTensor( nullptr );
      RunSession( session.session, &input, inputTensor.Out(), &outputOperation, outputTensor.Out(), session.status,
                  InferenceContext );
      float* data = static_cast<float*>( TF_TensorData( outputTensor.Get() ) );
      if ( data == nullptr )
         throw Error( "Velqora TensorFlow inference failed: output tensor data is null." );
      CheckOutputTensor( outputTensor.Get(), TF_FLOAT, dims, 4, InferenceContext );
      WriteOutputBatch( output, data, start );
      monitor += size_t( std::min( batchSize, tileCount - start ) );
   }

   // Only the output is needed from here on.
   padded.FreeData();

   CropImage( output );
   if ( linear )
   {
      DeStretchImage( output );
      ValidateFiniteImage( output, "Velqora linear denoized image after destretch" );
   }

   image.ResetSelections();
   output.ResetSelections();
   output.Truncate( 0.0, 1.0 );
   // In linear mode the source side of the mix is the source as it was: its
   // stretch and destretch would clip its shadows and round it twice.
   MixInto( image, linear ? restorer.Original() : image, output, amount );
   restorer.Dismiss();

   Console::WriteLn( "Done!" );
}

template <class P>
void VelqoraEngine::Apply( GenericImage<P>& image, View& view, const VelqoraInstance& instance )
{
   const bool linear = instance.linear != 0;
   const int version = instance.model == 1 ? 1 : 2;
   VelqoraModel model( 512, 1, 480, version, linear, instance.amount, instance.shadowsClipping,
                       instance.targetBackground );
   model.Apply( image, view );
}

#define INSTANTIATE( P )                                                                       \
   template void VelqoraModel::Apply<P>( GenericImage<P>&, View& );                             \
   template void VelqoraEngine::Apply<P>( GenericImage<P>&, View&, const VelqoraInstance& );
PCL_FOR_EACH_PIXEL_TYPE( INSTANTIATE )
#undef INSTANTIATE

} // pcl

#include "module/VelqoraTensorflow.h"

#include "framework/FiniteCheck.h"
#include "framework/TensorflowGuards.h"
#include "framework/ValueText.h"
#include "module/StrengthMix.h"
#include "platform/boundary/Console.h"
#include "platform/core/Exception.h"
#include "platform/image/StandardStatus.h"
#include "platform/image/StatusMonitor.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace pcl
{

namespace
{

const char* const InferenceContext = "Velqora TensorFlow inference failed";

// Keeps a copy of the source image while the run changes it (the stretch,
// and the result written in as the tiles are done), and puts it back unless
// the run completes. Undoing the stretch would not do: it clips the shadows.
template <class P>
class SourceRestorer
{
public:
   // Copies the image and, in the same pass, looks for samples that are not
   // finite.
   explicit SourceRestorer( GenericImage<P>& image ) : m_image( image )
   {
      using sample = typename P::sample;
      // Pieces large enough to be copied past the cache (the copy is read
      // again, if at all, only as the tiles finish) and small enough to be
      // checked while still in the last-level cache.
      constexpr size_t piece = ( size_t( 4 ) << 20 ) / sizeof( sample );
      m_original.AllocateData( image.Width(), image.Height(), image.NumberOfChannels(), image.ColorSpace() );
      for ( int c = 0; c < image.NumberOfChannels(); ++c )
         for ( size_t i = 0; i < image.NumberOfPixels(); i += piece )
         {
            const size_t n = std::min( piece, image.NumberOfPixels() - i );
            const sample* from = image.PixelData( c ) + i;
            std::memcpy( m_original.PixelData( c ) + i, from, n * sizeof( sample ) );
            if constexpr ( P::IsFloatSample() )
               m_finite = m_finite && !project_pelk::AnyNonFinite( from, n );
         }
   }

   // Whether every sample of the source is finite.
   bool Finite() const noexcept { return m_finite; }

   ~SourceRestorer()
   {
      if ( m_original.IsEmpty() )
         return;
      // Same geometry as the original: the pipeline never reallocates the source.
      for ( int c = 0; c < m_original.NumberOfChannels(); ++c )
         std::memcpy( m_image.PixelData( c ), m_original.PixelData( c ),
                      m_original.NumberOfPixels() * sizeof( typename P::sample ) );
   }

   // The source as it was before the run.
   const GenericImage<P>& Original() const noexcept { return m_original; }

   // The run completed: the image holds the result.
   void Dismiss() noexcept { m_original.FreeData(); }

   SourceRestorer( const SourceRestorer& ) = delete;
   SourceRestorer& operator=( const SourceRestorer& ) = delete;

private:
   GenericImage<P>& m_image;
   GenericImage<P> m_original;
   bool m_finite = true;
};

// A strength outside [0, 1] would destroy the image instead of denoising it.
// Scripts and the interface write the value directly, so the host's range
// check on the parameter is not enough. (The automatic stretch checks its own
// two inputs, where it is used.)
void CheckAmount( double amount )
{
   if ( !( amount >= 0 && amount <= 1 ) )
      throw Error( "Invalid amount: " + project_pelk::ShortestText( amount ) + "! Should be between 0 and 1!" );
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
   CheckAmount( amount );

   ReadImageProps( image, true );
   if ( colorSpace != ColorSpace::RGB && modelVersion == 1 )
      throw Error( "This model version only supports RGB images!" );
   // The result is written into the image as the tiles are done. A NaN or an
   // infinity would pass through the network and be blamed on it, or be
   // clipped away unseen by the stretch.
   SourceRestorer<P> restorer( image );
   if ( !restorer.Finite() )
      throw Error( "Velqora source image contains non-finite sample values." );

   view.GetScreenTransferFunctions( stf );

   if ( linear )
      StretchImage( image, view );

   Console::WriteLn( "Restoring neural network checkpoint... " );

   SessionGuard session;
   session.graph = LoadModel( modelVersion == 1 ? "Velqora_weights_v1.pb" : "Velqora_weights_v2.pb" );
   const int64_t dims[4] = { batchSize, windowSize, windowSize, 3 };
   const TF_Output input = RequireInputOperation( session.graph, "intro", TF_FLOAT, dims, 4 );
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

   // In linear mode the source side of the mix is the source as it was: its
   // stretch and destretch would clip its shadows and round it twice.
   StrengthMix<P> mix( image, linear ? restorer.Original() : image, amount,
                       linear ? stf : Array<HistogramTransformation>() );
   project_pelk::TileAccumulator output( geometry, numberOfChannels,
                                         [&mix]( const project_pelk::FinishedColumns& f ) { mix.Write( f ); } );

   // Each batch is built straight into the one input tensor: a run reads its
   // input and leaves it as it was.
   const size_t batchBytes = size_t( batchSize ) * size_t( windowSize ) * size_t( windowSize ) * 3 * sizeof( float );
   TensorGuard inputTensor( TF_AllocateTensor( TF_FLOAT, dims, 4, batchBytes ) );
   float* batch = inputTensor.Get() != nullptr ? static_cast<float*>( TF_TensorData( inputTensor.Get() ) ) : nullptr;
   if ( batch == nullptr )
      throw Error( "KestrimEngine::CreateTensor(): Failure to allocate tensor from input data." );

   for ( int start = 0; start < tileCount; start += batchSize )
   {
      GetInputBatch( image, start, batch );
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

   // The source was destretched within the mix, as the tiles finished. Its
   // progress is shown here, after the tiles, as a destretch of its own would
   // show it, and an abort request is answered here as there: the restorer
   // puts the image back.
   if ( linear )
      ReportDeStretch( image );
   if ( !mix.AllFinite() )
      throw Error( "Velqora linear denoized image after destretch contains non-finite sample values." );
   image.ResetSelections();
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

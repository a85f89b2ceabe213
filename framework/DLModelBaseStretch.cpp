#include "framework/DLModelBase.h"

#include "framework/ValueText.h"
#include "platform/boundary/Console.h"
#include "platform/core/Exception.h"
#include "platform/image/StatusMonitor.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace pcl
{

namespace
{

// The MAD of a normal distribution times this factor is its standard deviation.
constexpr double MADNormalisation = 1.4826;

// The text under which the platform's histogram transformation reports its
// progress.
const char* const TransformationProgress = "Histogram transformation";

// The transformation that undoes a stretch's midtones transfer: the one with
// balance 1 - m inverts the one with m.
HistogramTransformation DeStretchTransfer( const HistogramTransformation& stretch )
{
   return HistogramTransformation( 1.0 - stretch.MidtonesBalance(), 0.0, 1.0, 0.0, 1.0 );
}

// Fetches a per-channel view property; the host computes it when missing.
DVector ChannelProperty( View& view, const char* id, int numberOfChannels )
{
   DVector values = view.ComputeOrFetchProperty( id, true ).ToDVector();
   if ( values.size() < size_t( numberOfChannels ) )
      throw Error( String::Format( "The view property %s has %d value(s) for an image of %d channel(s).", id,
                                   int( values.size() ), numberOfChannels ) );
   return values;
}

// The stretch is indexed by channel; an array shorter than the channels it
// serves would be read past its end.
void RequireStretchEntries( const Array<HistogramTransformation>& stf, int channels )
{
   if ( stf.Length() < size_t( channels ) )
      throw Error( String::Format( "Missing screen transfer functions: %d for an image of %d channel(s).",
                                   int( stf.Length() ), channels ) );
}

// A midtones balance of 0 or 1 sends every sample above the clipping point to
// 1 or 0, and a clipping point of 1 or more leaves nothing above it: the image
// would come back black and white. Automatic stretches end up there when more
// than half of a channel's samples are 0 or 1 (the MAD is then 0). The advice
// depends on where the stretch came from: the user's own function needs
// mending; for the automatic one the user can set a function of their own.
void RequireUsableStretch( const HistogramTransformation& ht, int channel, bool automatic )
{
   const double m = ht.MidtonesBalance();
   const double c0 = ht.ShadowsClipping();
   if ( !( m > 0 && m < 1 ) || !( c0 < 1 ) )
      throw Error( String::Format( "Cannot stretch channel %d: midtones balance %g, shadows clipping %g. ", channel, m,
                                   c0 ) +
                   ( automatic ? "Set a screen transfer function for the view"
                               : "Fix the view's screen transfer function" ) +
                   ", or run without the `Linear data` option." );
}

// The automatic stretch's two inputs. Scripts write them directly, and only
// the automatic stretch reads them, so they are checked here and nowhere else:
// a run that does not use them takes whatever an instance holds.
void RequireAutoStretchInputs( double shadowsClipping, double targetBackground )
{
   if ( !std::isfinite( shadowsClipping ) )
      throw Error( "Invalid shadows_clipping: " + project_pelk::ShortestText( shadowsClipping ) +
                   "! Should be a finite number!" );
   if ( !( targetBackground > 0 && targetBackground < 1 ) )
      throw Error( "Invalid target_background: " + project_pelk::ShortestText( targetBackground ) +
                   "! Should be greater than 0 and less than 1!" );
}

// Subtract( c0 ) and then ht >> image on channel c of an 8- or 16-bit image,
// in one pass instead of two: a table holds the result of both for every
// sample value, so each sample ends as the two passes leave it. Progress goes
// to the image's status monitor as the transformation reports it.
template <class P>
void SubtractAndTransform( GenericImage<P>& image, int c, double c0, const HistogramTransformation& ht )
{
   using sample = typename P::sample;
   const Rect r = image.SelectedRectangle();
   if ( image.IsEmpty() || !r.IsRect() )
      return;
   image.EnsureUnique();
   // As Subtract adds the value in sample units; an identity transformation
   // is not applied at all.
   const double shift = -c0 * double( P::MaxSampleValue() );
   const bool transform = !ht.IsIdentityTransformation();
   std::vector<sample> table( size_t( P::MaxSampleValue() ) + 1 );
   for ( size_t v = 0; v < table.size(); ++v )
   {
      const sample shifted = P::FromScaledValue( double( v ) + shift );
      table[v] = transform ? P::ToSample( ht.Transform( P::FromSample( shifted ) ) ) : shifted;
   }

   StatusMonitor& status = image.Status();
   const bool report = transform && status.Callback() != nullptr;
   if ( report )
      status.Initialize( TransformationProgress, size_t( r.Height() ) );
   constexpr int blockRows = 256;
   for ( int y0 = r.y0; y0 < r.y1; y0 += blockRows )
   {
      const int rows = std::min( blockRows, r.y1 - y0 );
      for ( int y = y0; y < y0 + rows; ++y )
      {
         sample* row = image.ScanLine( y, c );
         for ( int x = r.x0; x < r.x1; ++x )
            row[x] = table[row[x]];
      }
      if ( report )
         status += size_t( rows );
   }
}

} // namespace

bool DLModelBase::IsSTFIdentity( View& view )
{
   // The statistics are not needed here, but fetching them makes the host
   // compute them now, and a view that cannot provide them fails early.
   view.ComputeOrFetchProperty( "MAD", true ).ToDVector();
   view.ComputeOrFetchProperty( "Median", true ).ToDVector();
   RequireStretchEntries( stf, numberOfChannels );
   for ( int c = 0; c < numberOfChannels; ++c )
      if ( !stf[c].IsIdentityTransformation() )
         return false;
   return true;
}

template <class P>
void DLModelBase::StretchImage( GenericImage<P>& image, View& view )
{
   try
   {
      const bool automatic = IsSTFIdentity( view );
      if ( !automatic )
         Console::WriteLn( "Using STF parameters set by user to stretch the image" );
      else
      {
         Console::WarningLn( "Warning: `Linear data` option is enabled, but STF is an identity function!" );
         Console::WarningLn( "Using Auto Stretch to transform the image!" );
         RequireAutoStretchInputs( shadowsClipping, targetBackground );

         // Each channel from its own statistics: RGB channels are not linked.
         DVector madN = ChannelProperty( view, "MAD", numberOfChannels );
         for ( double& v : madN )
            v *= MADNormalisation;
         const DVector median = ChannelProperty( view, "Median", numberOfChannels );
         for ( int c = 0; c < numberOfChannels; ++c )
         {
            // A MAD too small to change 1.0 gives no usable clipping point.
            const double c0 =
               ( 1.0 + madN[c] == 1.0 ) ? 0.0 : std::clamp( median[c] + shadowsClipping * madN[c], 0.0, 1.0 );
            const double m = HistogramTransformation::MTF( targetBackground, median[c] - c0 );
            stf[c] = HistogramTransformation( m, c0, 1.0, 0.0, 1.0 );
         }
      }

      // Shadows subtracted without rescaling, then the midtones transfer.
      const int channels = image.IsColor() ? 3 : 1;
      RequireStretchEntries( stf, channels );
      // Every channel is checked before the first is changed.
      for ( int c = 0; c < channels; ++c )
         RequireUsableStretch( stf[c], c, automatic );
      for ( int c = 0; c < channels; ++c )
      {
         const HistogramTransformation ht( stf[c].MidtonesBalance(), 0.0, 1.0, 0.0, 1.0 );
         image.SelectChannel( c );
         if constexpr ( !P::IsFloatSample() && sizeof( typename P::sample ) <= 2 )
            SubtractAndTransform( image, c, stf[c].ShadowsClipping(), ht );
         else
         {
            image.Subtract( stf[c].ShadowsClipping(), Rect(), -1, -1 );
            ht >> image;
         }
      }
   }
   catch ( ... )
   {
      Console::CriticalLn( "Could not stretch the image!" );
      throw;
   }
}

template <class P>
void DLModelBase::DeStretchImage( GenericImage<P>& image )
{
   RequireStretchEntries( stf, numberOfChannels );
   for ( int c = 0; c < numberOfChannels; ++c )
   {
      image.SelectChannel( c );
      DeStretchTransfer( stf[c] ) >> image;
      image.Add( stf[c].ShadowsClipping(), Rect(), -1, -1 );
   }
}

template <class P>
void DLModelBase::ReportDeStretch( const GenericImage<P>& image )
{
   StatusMonitor& status = image.Status();
   if ( status.Callback() == nullptr )
      return;
   RequireStretchEntries( stf, numberOfChannels );
   const size_t rows = size_t( image.Height() );
   for ( int c = 0; c < numberOfChannels; ++c )
      if ( !DeStretchTransfer( stf[c] ).IsIdentityTransformation() )
      {
         status.Initialize( TransformationProgress, rows );
         status += rows;
      }
}

#define INSTANTIATE( P )                                                                     \
   template void DLModelBase::StretchImage<P>( GenericImage<P>&, View& );                     \
   template void DLModelBase::DeStretchImage<P>( GenericImage<P>& );                          \
   template void DLModelBase::ReportDeStretch<P>( const GenericImage<P>& );
PCL_FOR_EACH_PIXEL_TYPE( INSTANTIATE )
#undef INSTANTIATE

} // pcl

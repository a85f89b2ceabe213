#include "module/VelqoraInstance.h"

#include "module/VelqoraParameters.h"
#include "module/VelqoraTensorflow.h"
#include "platform/boundary/Console.h"
#include "platform/image/StandardStatus.h"
#include "platform/image/View.h"

namespace pcl
{

VelqoraInstance::VelqoraInstance( const MetaProcess* process )
   : ProcessImplementation( process )
   , amount( TheAmountParameter->DefaultValue() )
   , linear( TheLinearParameter->DefaultValue() ? 1 : 0 )
   , model( 0 )
   , targetBackground( TheTargetBackgroundParameter->DefaultValue() )
   , shadowsClipping( TheShadowsClippingParameter->DefaultValue() )
{
}

VelqoraInstance::VelqoraInstance( const VelqoraInstance& source ) : ProcessImplementation( source ), linear( 0 )
{
   Assign( source );
}

void VelqoraInstance::Assign( const ProcessImplementation& source )
{
   if ( const auto* s = dynamic_cast<const VelqoraInstance*>( &source ) )
   {
      amount = s->amount;
      model = s->model;
      linear = s->linear;
      shadowsClipping = s->shadowsClipping;
      targetBackground = s->targetBackground;
   }
}

bool VelqoraInstance::CanExecuteOn( const View& view, String& whyNot ) const
{
   const ImageVariant image = view.Image();
   const char* reason = nullptr;
   if ( image.IsComplexSample() )
      reason = "Velqora cannot be executed on complex images.";
   else if ( image.ColorSpace() != ColorSpace::Gray && image.ColorSpace() != ColorSpace::RGB )
      reason = "Velqora can only be executed on grayscale and RGB images.";
   else if ( image.HasAlphaChannels() )
      reason = "Velqora cannot be executed on images with alpha channels.";
   else if ( image.Width() < 512 || image.Height() < 512 )
      reason = "Velqora requires images at least 512x512 pixels.";
   else if ( image.IsFloatSample() && image.BitsPerSample() != 32 && image.BitsPerSample() != 64 )
      reason = "Velqora does not support this floating-point sample depth.";
   else if ( !image.IsFloatSample() && image.BitsPerSample() != 8 && image.BitsPerSample() != 16 &&
             image.BitsPerSample() != 32 )
      reason = "Velqora does not support this integer sample depth.";
   if ( reason == nullptr )
      return true;
   whyNot = reason;
   return false;
}

bool VelqoraInstance::ExecuteOn( View& view )
{
   AutoViewLock lock( view );
   ImageVariant image = view.Image();
   if ( image.IsComplexSample() )
      return false;
   AutoStatusCallbackRestorer<StatusMonitor> restorer( image.Status() );
   StandardStatus status;
   image.SetStatusCallback( &status );
   Console::EnableAbort();
   return DispatchPixelType( image.IsFloatSample(), image.BitsPerSample(), [&]( auto type ) {
      using P = typename decltype( type )::type;
      VelqoraEngine::Apply<P>( image.Image<P>(), view, *this );
   } );
}

void* VelqoraInstance::LockParameter( const MetaParameter* parameter, size_t /*tableRow*/ )
{
   if ( parameter == TheAmountParameter )
      return &amount;
   if ( parameter == TheModelVersionParameter )
      return &model;
   if ( parameter == TheLinearParameter )
      return &linear;
   if ( parameter == TheTargetBackgroundParameter )
      return &targetBackground;
   if ( parameter == TheShadowsClippingParameter )
      return &shadowsClipping;
   return nullptr;
}

bool VelqoraInstance::AllocateParameter( size_t, const MetaParameter*, size_t )
{
   return true;
}

size_t VelqoraInstance::ParameterLength( const MetaParameter*, size_t ) const
{
   return 0;
}

} // pcl

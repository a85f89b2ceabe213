#ifndef VELQORA_INSTANCE_H
#define VELQORA_INSTANCE_H

#include "platform/image/PixelTraits.h"
#include "platform/process/ProcessImplementation.h"

namespace pcl
{

// One set of values of the process parameters: the test whether the process
// can run on a view, and one denoise run on a view. The values are held as
// written, neither clamped nor checked.
class VelqoraInstance : public ProcessImplementation
{
public:
   // Every parameter at its default; the parameter objects must exist.
   explicit VelqoraInstance( const MetaProcess* process );
   VelqoraInstance( const VelqoraInstance& source );

   // Copies the values of another VelqoraInstance; any other instance
   // changes nothing.
   void Assign( const ProcessImplementation& source ) override;
   bool CanExecuteOn( const View& view, String& whyNot ) const override;
   // Denoises the view's image in place under the view's lock. False, with
   // nothing done, for an image of a sample format it does not handle.
   bool ExecuteOn( View& view ) override;
   void* LockParameter( const MetaParameter* parameter, size_t tableRow ) override;
   bool AllocateParameter( size_t sizeOrLength, const MetaParameter* parameter, size_t tableRow ) override;
   size_t ParameterLength( const MetaParameter* parameter, size_t tableRow ) const override;

   double amount;
   pcl_bool linear;
   int32_t model; // 0 = "v2", 1 = "v1"
   double targetBackground;
   double shadowsClipping;
};

} // pcl

#endif

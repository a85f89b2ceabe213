#ifndef VELQORA_TENSORFLOW_H
#define VELQORA_TENSORFLOW_H

#include "framework/DLModelTensorflow.h"
#include "module/VelqoraInstance.h"
#include "platform/image/GenericImage.h"
#include "platform/image/View.h"

namespace pcl
{

// The denoise model: drives the framework's pipeline over one image, from the
// banner to the strength mix written into the view's own pixels. It lives for
// one execution.
class VelqoraModel : public DLModelTensorflow
{
public:
   VelqoraModel( int window, int batch, int stride, int version, bool linear, double amount,
                 double shadowsClipping, double targetBackground );
   ~VelqoraModel() override;

   // The module's banner.
   void PrintIntroGraphic() override;

   // Denoises `image`, the view's own image, in place. Throws Error, or
   // ProcessAborted after a user abort; the image is then as it was.
   template <class P>
   void Apply( GenericImage<P>& image, View& view );

   bool linear;
   double amount;
   int modelVersion;
};

// Turns an instance's parameters into a model and runs it.
class VelqoraEngine
{
public:
   template <class P>
   static void Apply( GenericImage<P>& image, View& view, const VelqoraInstance& instance );
};

} // pcl

#endif

#ifndef VELQORA_STRENGTH_MIX_H
#define VELQORA_STRENGTH_MIX_H

#include "framework/Simd.h"
#include "framework/TileAccumulator.h"
#include "platform/core/Array.h"
#include "platform/image/GenericImage.h"
#include "platform/image/HistogramTransformation.h"

#include <vector>

namespace pcl
{

// The end of the run for columns whose denoised samples are final: in linear
// mode each is destretched and checked, then truncated to [0, 1] and mixed by
// the strength with the source's sample into the image:
// result = amount × denoised + (1 − amount) × source, rounded as the image
// operations it stands for (scalar × image, image + image, assignment) round
// it: the source scaled within its own sample type, the denoised value scaled
// in 64 bits, their sum in 64 bits, stored in the source's type.
template <class P>
class StrengthMix
{
public:
   using sample = typename P::sample;

   // `source` is the image itself, or in linear mode the source as it was
   // before the stretch; `stf` is the stretch to undo, empty in plain mode.
   // `level`: the vector code the rows run (the tests compare the levels).
   StrengthMix( GenericImage<P>& image, const GenericImage<P>& source, double amount,
                const Array<HistogramTransformation>& stf,
                project_pelk::SimdLevel level = project_pelk::ActiveSimdLevel() );

   void Write( const project_pelk::FinishedColumns& f );

   // False when a destretched sample was not finite.
   bool AllFinite() const noexcept { return !m_nonFinite; }

private:
   struct Destretch
   {
      bool transfer = false;
      double m = 0.5, c0 = 0;
   };

   template <bool Linear, bool Transfer>
   void Mix( sample* out, const sample* src, const float* denoised, int n, const Destretch& ds ) noexcept;

   GenericImage<P>& m_image;
   const GenericImage<P>& m_source;
   double m_amount;
   bool m_linear = false;
   bool m_readsSource = true;
   project_pelk::SimdLevel m_level;
   Destretch m_destretch[3];
   std::vector<double> m_kept; // the source's side by sample value, for small integer samples
   bool m_nonFinite = false;
};

} // pcl

#endif

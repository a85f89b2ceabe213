#ifndef PCL_NUMERIC_CONTROL_H
#define PCL_NUMERIC_CONTROL_H

#include "platform/controls/NumericEdit.h"
#include "platform/controls/Slider.h"

namespace pcl
{

// A numeric edit with a slider. The slider's positions map linearly onto the
// value range.
class NumericControl : public NumericEdit
{
public:
   NumericControl();

   Slider slider;

protected:
   void UpdateControls() override;
   void OnHostEvent( const host_control_event& event ) override;
};

} // pcl

#endif

#include "platform/controls/NumericControl.h"

#include <cmath>

namespace pcl
{

NumericControl::NumericControl()
{
   slider.SendEventsTo( *this );
   sizer.Add( slider, 100 );
   UpdateControls();
}

void NumericControl::UpdateControls()
{
   NumericEdit::UpdateControls();
   const double span = UpperBound() - LowerBound();
   const double fraction = span > 0 ? ( Value() - LowerBound() ) / span : 0;
   slider.SetValue( slider.MinValue() + int( std::lround( fraction * ( slider.MaxValue() - slider.MinValue() ) ) ) );
}

void NumericControl::OnHostEvent( const host_control_event& event )
{
   if ( event.type != HOST_EVENT_VALUE_CHANGED )
   {
      NumericEdit::OnHostEvent( event );
      return;
   }
   const int steps = slider.MaxValue() - slider.MinValue();
   const double fraction = steps > 0 ? ( event.value - slider.MinValue() ) / steps : 0;
   UserSetValue( LowerBound() + fraction * ( UpperBound() - LowerBound() ) );
}

} // pcl

#ifndef PCL_NUMERIC_EDIT_H
#define PCL_NUMERIC_EDIT_H

#include "platform/controls/Control.h"
#include "platform/controls/Edit.h"
#include "platform/controls/Label.h"
#include "platform/controls/Sizer.h"

namespace pcl
{

// A labelled field for a number in a range. A value the user enters is
// clamped to the range and rounded to the shown decimals (whole numbers unless
// the edit takes reals); text that is no number leaves the value as it was.
class NumericEdit : public Control
{
public:
   // Called with the edit and its new value after the user changed it.
   typedef void ( Control::*value_event_handler )( NumericEdit& sender, double value );

   NumericEdit();

   Label label;
   Edit edit;

   double Value() const noexcept { return m_value; }
   void SetValue( double value );

   void SetRange( double lower, double upper );
   double LowerBound() const noexcept { return m_lower; }
   double UpperBound() const noexcept { return m_upper; }

   void SetPrecision( int decimals );

   void SetReal( bool real = true );

   void OnValueUpdated( value_event_handler handler, Control& receiver );

protected:
   HorizontalSizer sizer;

   // Shows the value in the parts of the control.
   virtual void UpdateControls();
   // Takes a value from the user and tells the handler when it changed.
   void UserSetValue( double value );
   void OnHostEvent( const host_control_event& event ) override;

private:
   double m_value = 0;
   double m_lower = 0;
   double m_upper = 1;
   int m_precision = 6;
   bool m_real = false;
   value_event_handler m_onValueUpdated = nullptr;
   Control* m_onValueUpdatedReceiver = nullptr;

   // The value as the control keeps it: in range, rounded as shown.
   double Normalized( double value ) const;
   void UpdateFormat();
};

} // pcl

#endif

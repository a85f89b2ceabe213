#ifndef PCL_BUTTON_H
#define PCL_BUTTON_H

#include "platform/controls/Control.h"

namespace pcl
{

// A control the user clicks; the base of check boxes.
class Button : public Control
{
public:
   // Called with the button and its state after the click.
   typedef void ( Control::*click_event_handler )( Button& sender, bool checked );

   void SetText( const String& text );
   void OnClick( click_event_handler handler, Control& receiver );

   void SetChecked( bool checked );

protected:
   explicit Button( int32_t kind );
   void OnHostEvent( const host_control_event& event ) override;

private:
   click_event_handler m_onClick = nullptr;
   Control* m_onClickReceiver = nullptr;
};

} // pcl

#endif

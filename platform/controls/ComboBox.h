#ifndef PCL_COMBO_BOX_H
#define PCL_COMBO_BOX_H

#include "platform/controls/Control.h"

namespace pcl
{

// A list of texts of which one is shown and selected.
class ComboBox : public Control
{
public:
   // Called with the combo box and the index of the item the user selected.
   typedef void ( Control::*item_event_handler )( ComboBox& sender, int itemIndex );

   ComboBox();

   void AddItem( const String& text );
   void SetCurrentItem( int index );

   void OnItemSelected( item_event_handler handler, Control& receiver );

protected:
   void OnHostEvent( const host_control_event& event ) override;

private:
   item_event_handler m_onItemSelected = nullptr;
   Control* m_onItemSelectedReceiver = nullptr;
};

} // pcl

#endif

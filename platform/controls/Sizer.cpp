#include "platform/controls/Sizer.h"

#include "platform/controls/Control.h"
#include "platform/boundary/HostBinding.h"

namespace pcl
{

Sizer::Sizer( bool vertical )
   : UIObject( CreateHostControl( vertical ? HOST_CONTROL_VERTICAL_SIZER : HOST_CONTROL_HORIZONTAL_SIZER ) )
{
}

Sizer::~Sizer()
{
   DestroyHostControl( m_handle );
}

void Sizer::AddItem( int32_t kind, host_control_handle item, int amount )
{
   CheckHostResult( Host().SizerAdd( m_handle, kind, item, amount ), "Unable to lay out a control" );
}

void Sizer::Add( Control& control, int stretch )
{
   AddItem( HOST_SIZER_ITEM, control.Handle(), stretch );
}

void Sizer::Add( Sizer& sizer, int stretch )
{
   AddItem( HOST_SIZER_ITEM, sizer.Handle(), stretch );
}

void Sizer::AddSpacing( int size )
{
   AddItem( HOST_SIZER_SPACING, nullptr, size );
}

void Sizer::AddStretch( int stretch )
{
   AddItem( HOST_SIZER_STRETCH, nullptr, stretch );
}

void Sizer::SetMargin( int margin )
{
   CheckHostResult( Host().ControlSetNumber( m_handle, HOST_PROPERTY_MARGIN, margin ), "Unable to set a margin" );
}

void Sizer::SetSpacing( int spacing )
{
   CheckHostResult( Host().ControlSetNumber( m_handle, HOST_PROPERTY_SPACING, spacing ), "Unable to set a spacing" );
}

} // pcl

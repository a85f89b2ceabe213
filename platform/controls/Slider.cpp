#include "platform/controls/Slider.h"

namespace pcl
{

Slider::Slider() : Control( HOST_CONTROL_SLIDER )
{
   SetRange( m_minimum, m_maximum );
}

void Slider::SetRange( int minimum, int maximum )
{
   SetNumber( HOST_PROPERTY_MINIMUM, minimum, "Unable to set a slider's range" );
   SetNumber( HOST_PROPERTY_MAXIMUM, maximum, "Unable to set a slider's range" );
   m_minimum = minimum;
   m_maximum = maximum;
}

void Slider::SetValue( int position )
{
   SetNumber( HOST_PROPERTY_VALUE, position, "Unable to move a slider" );
}

} // pcl

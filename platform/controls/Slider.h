#ifndef PCL_SLIDER_H
#define PCL_SLIDER_H

#include "platform/controls/Control.h"

namespace pcl
{

// A slider over a range of whole positions.
class Slider : public Control
{
public:
   Slider();

   void SetRange( int minimum, int maximum );
   int MinValue() const { return m_minimum; }
   int MaxValue() const { return m_maximum; }

   void SetValue( int position );

private:
   int m_minimum = 0;
   int m_maximum = 100;
};

} // pcl

#endif

#ifndef PCL_SIZER_H
#define PCL_SIZER_H

#include "platform/controls/UIObject.h"

namespace pcl
{

class Control;

// Lays controls and other sizers out in a row or a column. Sizes are physical
// pixels; the Scaled forms take logical pixels.
class Sizer : public UIObject
{
public:
   virtual ~Sizer();

   void Add( Control& control, int stretch = 0 );
   void Add( Sizer& sizer, int stretch = 0 );
   void AddSpacing( int size );
   void AddScaledSpacing( int size ) { AddSpacing( LogicalPixelsToPhysical( size ) ); }
   void AddStretch( int stretch = 100 );

   void SetMargin( int margin );
   void SetScaledMargin( int margin ) { SetMargin( LogicalPixelsToPhysical( margin ) ); }
   void SetSpacing( int spacing );
   void SetScaledSpacing( int spacing ) { SetSpacing( LogicalPixelsToPhysical( spacing ) ); }

protected:
   explicit Sizer( bool vertical );

private:
   void AddItem( int32_t kind, host_control_handle item, int amount );
};

class HorizontalSizer : public Sizer
{
public:
   HorizontalSizer() : Sizer( false ) {}
};

class VerticalSizer : public Sizer
{
public:
   VerticalSizer() : Sizer( true ) {}
};

} // pcl

#endif

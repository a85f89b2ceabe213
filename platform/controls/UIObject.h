#ifndef PCL_UI_OBJECT_H
#define PCL_UI_OBJECT_H

#include "platform/boundary/HostInterface.h"

namespace pcl
{

// An object of the host's user interface, known by its host handle. Two
// objects are equal when they stand for the same host object.
class UIObject
{
public:
   UIObject( const UIObject& ) = delete;
   UIObject& operator=( const UIObject& ) = delete;

   host_control_handle Handle() const noexcept { return m_handle; }
   bool IsNull() const noexcept { return m_handle == nullptr; }

   // Physical pixels per logical pixel on the display that shows the object.
   double DisplayPixelRatio() const;
   // A size in logical pixels as physical pixels, to the nearest pixel.
   int LogicalPixelsToPhysical( int size ) const;

   friend bool operator==( const UIObject& a, const UIObject& b ) noexcept { return a.m_handle == b.m_handle; }

protected:
   UIObject() = default;
   explicit UIObject( host_control_handle handle ) noexcept : m_handle( handle ) {}
   ~UIObject() = default;

   host_control_handle m_handle = nullptr;
};

// Throws Error with the host's reason after `context` when a host function
// answered failure.
void CheckHostResult( int32_t result, const char* context );

// A new host object of the kind; throws Error when the host refuses it.
host_control_handle CreateHostControl( int32_t kind );

// Gives the host object back; nothing when the host is gone.
void DestroyHostControl( host_control_handle handle ) noexcept;

} // pcl

#endif

#ifndef PCL_VIEW_H
#define PCL_VIEW_H

#include "platform/core/Array.h"
#include "platform/image/HistogramTransformation.h"
#include "platform/boundary/HostInterface.h"
#include "platform/image/ImageVariant.h"
#include "platform/core/String.h"
#include "platform/core/Variant.h"

namespace pcl
{

// A view of the host: an image, its screen transfer functions and its
// computed properties.
class View
{
public:
   View() = default;
   explicit View( host_view_handle handle ) noexcept : m_handle( handle ) {}

   bool IsNull() const noexcept { return m_handle == nullptr; }
   host_view_handle Handle() const noexcept { return m_handle; }

   String FullId() const;

   // The view with that full identifier ("image" or "image->preview"); a null
   // view when there is none.
   static View ViewById( const String& fullId );

   // The view's image, sharing the view's pixels.
   ImageVariant Image() const;

   // Replaces the array's contents with the view's four screen transfer
   // functions; entries 0 to 2 serve channels 0 to 2.
   void GetScreenTransferFunctions( Array<HistogramTransformation>& stf ) const;

   // The view's property; the host computes it when the view lacks it.
   Variant ComputeOrFetchProperty( const IsoString& id, bool notify = true );

   // Read/write lock; throws Error when the host refuses it.
   void Lock();
   void Unlock() noexcept;

private:
   host_view_handle m_handle = nullptr;
};

// Holds a view locked for reading and writing for its scope.
class AutoViewLock
{
public:
   explicit AutoViewLock( View& view, bool lock = true );
   ~AutoViewLock();
   AutoViewLock( const AutoViewLock& ) = delete;
   AutoViewLock& operator=( const AutoViewLock& ) = delete;

private:
   View& m_view;
   bool m_locked = false;
};

} // pcl

#endif

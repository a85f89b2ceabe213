#include "platform/image/View.h"

#include "platform/boundary/HostBinding.h"

namespace pcl
{

host_image_desc detail::AllocateHostImage( host_view_handle view, int width, int height, int numberOfChannels,
                                           int colorSpace, int bitsPerSample, bool isFloatSample )
{
   host_image_desc desc{};
   if ( Host().ViewAllocateImage( view, width, height, numberOfChannels, colorSpace, bitsPerSample,
                                  isFloatSample ? 1 : 0, &desc ) != 0 )
      ThrowHostError( "Unable to allocate the view's image" );
   return desc;
}

String View::FullId() const
{
   const char16_t* id = Host().ViewFullId( m_handle );
   return String( id != nullptr ? id : u"" );
}

View View::ViewById( const String& fullId )
{
   return View( Host().ViewById( fullId.c_str() ) );
}

ImageVariant View::Image() const
{
   host_image_desc desc{};
   if ( Host().ViewGetImage( m_handle, &desc ) != 0 )
      ThrowHostError( "Unable to access the view's image" );
   return ImageVariant( desc, m_handle );
}

void View::GetScreenTransferFunctions( Array<HistogramTransformation>& stf ) const
{
   host_stf functions[HOST_STF_COUNT] = {};
   if ( Host().ViewGetScreenTransferFunctions( m_handle, functions ) != 0 )
      ThrowHostError( "Unable to get the view's screen transfer functions" );
   Array<HistogramTransformation> result;
   for ( const host_stf& f : functions )
      result.Add( HistogramTransformation( f.m, f.c0, f.c1, f.r0, f.r1 ) );
   stf = result;
}

Variant View::ComputeOrFetchProperty( const IsoString& id, bool notify )
{
   int32_t kind = HOST_VALUE_INVALID;
   DVector values( 16 );
   for ( ;; )
   {
      size_t count = 0;
      if ( Host().ViewComputeOrFetchProperty( m_handle, id.c_str(), notify ? 1 : 0, &kind, values.data(),
                                              values.size(), &count ) != 0 )
         ThrowHostError( ( "Unable to compute or fetch the view property " + id.Std() ).c_str() );
      if ( count <= values.size() )
      {
         values.resize( count );
         break;
      }
      values.resize( count );
   }
   switch ( kind )
   {
   case HOST_VALUE_SCALAR:
      return Variant( values.empty() ? 0.0 : values[0] );
   case HOST_VALUE_VECTOR:
      return Variant( values );
   case HOST_VALUE_STRING:
      return Variant( String( "" ) );
   default:
      return Variant();
   }
}

void View::Lock()
{
   switch ( Host().ViewLock( m_handle ) )
   {
   case HOST_LOCK_OK:
      return;
   case HOST_LOCK_NOT_ROOT_THREAD:
      throw Error( "Only the root thread can lock a view: " + FullId() );
   default:
      throw Error( "The view is already locked for read/write operations: " + FullId() );
   }
}

void View::Unlock() noexcept
{
   if ( IsHostBound() )
      Host().ViewUnlock( m_handle );
}

AutoViewLock::AutoViewLock( View& view, bool lock ) : m_view( view )
{
   if ( lock )
   {
      m_view.Lock();
      m_locked = true;
   }
}

AutoViewLock::~AutoViewLock()
{
   if ( m_locked )
      m_view.Unlock();
}

} // pcl

#ifndef VELQORA_HOST_VIEW_H
#define VELQORA_HOST_VIEW_H

#include "platform/boundary/HostInterface.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace host
{

// A view of the host: its image (planar channels the module works on in
// place), four screen transfer functions and its properties.
class View
{
public:
   View( std::string id, int width, int height, int numberOfChannels, int colorSpace, int bitsPerSample,
         bool isFloatSample, bool isComplexSample = false );

   const std::string& Id() const noexcept { return m_id; }
   const std::u16string& FullId() const noexcept { return m_fullId; }
   host_view_handle Handle() noexcept { return this; }

   int Width() const noexcept { return m_desc.width; }
   int Height() const noexcept { return m_desc.height; }
   int NumberOfChannels() const noexcept { return m_desc.numberOfChannels; }
   int ColorSpace() const noexcept { return m_desc.colorSpace; }
   int BitsPerSample() const noexcept { return m_desc.bitsPerSample; }
   bool IsFloatSample() const noexcept { return m_desc.isFloatSample != 0; }
   bool IsComplexSample() const noexcept { return m_desc.isComplexSample != 0; }

   // Channel c's samples, row by row; T must match the sample format.
   template <typename T>
   T* Samples( int c ) noexcept { return static_cast<T*>( m_pointers[c] ); }
   template <typename T>
   const T* Samples( int c ) const noexcept { return static_cast<const T*>( m_pointers[c] ); }
   size_t BytesPerChannel() const noexcept;

   const host_image_desc& Describe() const noexcept { return m_desc; }

   // A new geometry and sample format; every sample 0. Throws
   // std::runtime_error for an empty image or a sample format the host lacks,
   // std::bad_alloc when the memory is not there.
   void Reallocate( int width, int height, int numberOfChannels, int colorSpace, int bitsPerSample, bool isFloatSample,
                    bool isComplexSample = false );

   // Computed properties belong to the image as it was; drop them.
   void ImageChanged() { m_computed.clear(); }

   const host_stf& ScreenTransferFunction( int i ) const noexcept { return m_stf[i]; }
   void SetScreenTransferFunction( int i, const host_stf& stf ) noexcept { m_stf[i] = stf; }
   const std::array<host_stf, HOST_STF_COUNT>& ScreenTransferFunctions() const noexcept { return m_stf; }

   // A property set by the host (not dropped when the image changes).
   void SetProperty( const std::string& id, std::vector<double> values ) { m_properties[id] = std::move( values ); }
   void RemoveProperty( const std::string& id ) { m_properties.erase( id ); m_computed.erase( id ); }
   bool HasProperty( const std::string& id ) const { return m_properties.count( id ) || m_computed.count( id ); }
   // How often the host has computed a property (not fetched it).
   int ComputationCount() const noexcept { return m_computations; }

   // The property, computed when the view lacks it: "Median" and "MAD", one
   // value per channel on the normalised range. Throws std::runtime_error for
   // a property the host cannot compute.
   const std::vector<double>& ComputeOrFetchProperty( const std::string& id );

   bool IsLocked() const noexcept { return m_locked; }
   void SetLocked( bool locked ) noexcept { m_locked = locked; }

private:
   std::string m_id;
   std::u16string m_fullId;
   host_image_desc m_desc{};
   struct FreeSamples
   {
      void operator()( void* samples ) const noexcept;
   };
   // From calloc: large blocks come as fresh pages the system has zeroed, so
   // an image about to be overwritten (a file read into it) is not written
   // twice.
   std::vector<std::unique_ptr<void, FreeSamples>> m_storage;
   std::vector<void*> m_pointers;
   std::array<host_stf, HOST_STF_COUNT> m_stf;
   std::map<std::string, std::vector<double>> m_properties;
   std::map<std::string, std::vector<double>> m_computed;
   int m_computations = 0;
   bool m_locked = false;
};

} // host

#endif

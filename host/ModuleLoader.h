#ifndef VELQORA_HOST_MODULE_LOADER_H
#define VELQORA_HOST_MODULE_LOADER_H

#include "platform/boundary/HostInterface.h"

#include <memory>
#include <string>

namespace host
{

// A module library loaded as the host loads one: by its file, reaching it
// only through its exported entry functions.
class ModuleLoader
{
public:
   // Loads the library; throws std::runtime_error with the loader's reason.
   explicit ModuleLoader( const std::string& path );

   InstallPixInsightModule_t Install() const noexcept { return m_install; }
   InitializePixInsightModule_t Initialize() const noexcept { return m_initialize; }
   IdentifyPixInsightModule_t Identify() const noexcept { return m_identify; }

   // A symbol of the library or of the libraries it depends on; null if none.
   void* Symbol( const char* name ) const noexcept;

private:
   struct Closer
   {
      void operator()( void* handle ) const noexcept;
   };
   std::unique_ptr<void, Closer> m_handle;
   InstallPixInsightModule_t m_install = nullptr;
   InitializePixInsightModule_t m_initialize = nullptr;
   IdentifyPixInsightModule_t m_identify = nullptr;
};

} // host

#endif

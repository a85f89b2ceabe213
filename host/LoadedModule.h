#ifndef VELQORA_HOST_LOADED_MODULE_H
#define VELQORA_HOST_LOADED_MODULE_H

#include "host/ModuleLoader.h"

#include <cstdint>
#include <string>

namespace host
{

class Host;

// What identification told the host about a module.
struct ModuleDescription
{
   std::string uniqueId, version, name, description, company, author, copyright, tradeMarks, fileName;
   int releaseYear = 0, releaseMonth = 0, releaseDay = 0;
};

// A module library driven through its entry functions as the host drives
// one: install, identify, initialise. Entry results are the module's (0 for
// success); a refusal's reason is on the host's console, or on standard
// error before initialisation.
class LoadedModule
{
public:
   // Loads the library; throws std::runtime_error when it cannot be loaded or
   // lacks an entry function.
   explicit LoadedModule( const std::string& path );

   // Mode 0 installs everything; any other mode the module object only, for
   // identification.
   int32_t Install( int32_t mode = 0 );
   // Phases 0, 1 and 255; false when the module refused one (phase 255 always
   // runs once phase 0 did).
   bool Identify();
   const ModuleDescription& Description() const noexcept { return m_description; }
   // Hands the module the host's functions (through the current host).
   int32_t Initialize( uint32_t apiVersion = HOST_API_VERSION );

   // Install (mode 0), identify and initialise; throws std::runtime_error
   // naming the step that the module refused.
   void Start();

   const ModuleLoader& Loader() const noexcept { return m_loader; }

private:
   ModuleLoader m_loader;
   ModuleDescription m_description;
};

// What the host learnt: the module's description, then its processes with
// their parameters, then its interfaces.
std::string DescribeModule( const ModuleDescription& description, Host& host );

} // host

#endif

#ifndef VELQORA_TESTS_MODULE_COPY_H
#define VELQORA_TESTS_MODULE_COPY_H

#include "host/Host.h"
#include "host/LoadedModule.h"
#include "tests/ScratchDirectory.h"

#include <filesystem>
#include <memory>

// The module file loaded by the host's loader. A loaded module stays loaded
// (TensorFlow cannot be unloaded), so each ModuleCopy loads a copy of the
// file of its own, which starts with no module object; the copy finds
// TensorFlow in lib/ beside it, as the module does.
class ModuleCopy
{
public:
   ModuleCopy()
   {
      const std::filesystem::path original( VELQORA_MODULE_FILE );
      const std::filesystem::path copy = m_directory.Path() / original.filename();
      std::filesystem::copy_file( original, copy );
      std::filesystem::create_directory_symlink( original.parent_path() / "lib", m_directory.Path() / "lib" );
      m_module = std::make_unique<host::LoadedModule>( copy.string() );
   }

   host::LoadedModule* operator->() const noexcept { return m_module.get(); }

private:
   ScratchDirectory m_directory;
   std::unique_ptr<host::LoadedModule> m_module;
};

// A host and a module copy started in it: installed, identified and
// initialised.
class StartedModuleTest : public ::testing::Test
{
protected:
   void SetUp() override { m_module->Start(); }

   host::Process& VelqoraProcess() { return *m_host.Processes().Find( "Velqora" ); }
   host::Interface& VelqoraInterface() { return *m_host.Interfaces().Find( "Velqora" ); }

   host::Host m_host;
   ModuleCopy m_module;
};

#endif

// The module file as the host loads it: installation and initialisation
// through the library's own entry functions. Each case runs in a process of
// its own, since a library keeps its module object for as long as it is
// loaded. Whole runs through the module file are in HostToolTest.
#include "host/Host.h"
#include "host/ModuleLoader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace
{

const char* const NoModuleObject =
   "Module metadata not available. Please instantiate a MetaModule descendent class upon module installation.";

// Loads the module and hands it, with a host, to `check`, which answers what
// it found wrong; the process ends with that.
[[noreturn]] void InChild( const std::function<std::string( host::Host&, host::ModuleLoader& )>& check )
{
   std::string wrong;
   try
   {
      host::ModuleLoader module( VELQORA_MODULE_FILE );
      host::Host h;
      wrong = check( h, module );
   }
   catch ( const std::exception& e )
   {
      wrong = e.what();
   }
   std::fprintf( stderr, "%s\n", wrong.c_str() );
   std::fflush( stderr );
   std::_Exit( wrong.empty() ? 0 : 1 );
}

int32_t Initialize( host::ModuleLoader& module, uint32_t apiVersion = HOST_API_VERSION )
{
   return module.Initialize()( nullptr, &host::ResolveHostFunction, apiVersion, nullptr );
}

std::string Declared( host::Host& h )
{
   std::string ids;
   for ( const auto& p : h.Processes().Processes() )
   {
      ids += p->Id() + ":";
      for ( const host::Parameter& parameter : p->Parameters() )
         ids += " " + parameter.id;
   }
   return ids;
}

std::string Expect( const std::string& what, const std::string& found, const std::string& expected )
{
   return found == expected ? "" : what + ": \"" + found + "\", expected \"" + expected + "\"\n";
}

class ModuleLoadTest : public ::testing::Test
{
protected:
   void SetUp() override { GTEST_FLAG_SET( death_test_style, "threadsafe" ); }
};

TEST_F( ModuleLoadTest, InstallationAndInitialisation )
{
   const std::string velqora = "Velqora: linear model amount shadows_clipping target_background";
   struct Case
   {
      const char* name;
      std::vector<int> installs; // modes, in order, with their results
      std::vector<int> installResults;
      uint32_t apiVersion;
      int32_t initialized;
      std::string declared;
      std::string console;
   };
   const Case cases[] = {
      { "full install", { 0 }, { 0 }, HOST_API_VERSION, 0, velqora, "" },
      { "module only", { 1 }, { 0 }, HOST_API_VERSION, 0, "", "" },
      { "negative mode", { -1 }, { 0 }, HOST_API_VERSION, 0, "", "" },
      { "other mode", { 7 }, { 0 }, HOST_API_VERSION, 0, "", "" },
      { "second module object", { 0, 0 }, { 0, 1 }, HOST_API_VERSION, 0, velqora, "" },
      { "old host", { 0 }, { 0 }, HOST_API_VERSION_MINIMUM - 1, 1, "", "" },
      { "not installed", {}, {}, HOST_API_VERSION, 1, "", NoModuleObject },
   };
   for ( const Case& c : cases )
      EXPECT_EXIT( InChild( [&]( host::Host& h, host::ModuleLoader& module ) {
                      std::string wrong;
                      for ( size_t i = 0; i < c.installs.size(); ++i )
                         wrong += Expect( "install", std::to_string( module.Install()( c.installs[i] ) ),
                                          std::to_string( c.installResults[i] ) );
                      wrong += Expect( "initialize", std::to_string( Initialize( module, c.apiVersion ) ),
                                       std::to_string( c.initialized ) );
                      wrong += Expect( "declared", Declared( h ), c.declared );
                      const std::string console = h.GetConsole().Transcript();
                      if ( !c.console.empty() && console.find( "*** Error: " + c.console ) == std::string::npos )
                         wrong += "console: " + console;
                      return wrong;
                   } ),
                   ::testing::ExitedWithCode( 0 ), "" )
         << c.name;
}

} // namespace

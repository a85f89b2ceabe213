// The module file as the host loads it: installation, initialisation and a
// whole run through the library's own entry functions and callbacks. Each
// case runs in a process of its own, since a library keeps its module object
// for as long as it is loaded.
#include "host/Host.h"
#include "host/ModuleLoader.h"
#include "tests/ScratchDirectory.h"
#include "tools/GraphWriter.h"

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

// The host makes an instance of the declared process, sets it by parameter
// ids and runs it on a view; the library does the rest.
TEST_F( ModuleLoadTest, HostRunsAnInstanceOfTheDeclaredProcess )
{
   EXPECT_EXIT( InChild( []( host::Host& h, host::ModuleLoader& module ) {
                   ScratchDirectory dir;
                   WorkingDirectory cwd( dir.Path() );
                   // The network answers 0.25 everywhere.
                   project_pelk::graphs::WriteGraphFile( "Velqora_weights_v2.pb",
                                                         project_pelk::graphs::GraphKind::Affine,
                                                         { .scale = 0, .offset = 0.25f } );
                   if ( module.Install()( 0 ) != 0 || Initialize( module ) != 0 )
                      return std::string( "not initialised" );
                   std::unique_ptr<host::Instance> instance = h.Processes().Create( "Velqora" );
                   for ( const char* assignment : { "amount=0.5", "model=v1", "model=v2", "linear=false" } )
                      instance->SetParameter( assignment );
                   std::string refusal;
                   try
                   {
                      instance->SetParameter( "amount=1.5" );
                   }
                   catch ( const std::runtime_error& e )
                   {
                      refusal = e.what();
                   }
                   std::string wrong = Expect( "refusal", refusal,
                                               "Invalid value for parameter amount: 1.5 (outside 0 to 1)" );
                   wrong += Expect( "amount", instance->ParameterText( "amount" ), "0.5" );

                   host::View& v = h.CreateView( "image", 520, 512, 3, 1, 32, true );
                   for ( int c = 0; c < 3; ++c )
                      std::fill_n( v.Samples<float>( c ), 520 * 512, 0.5f );
                   if ( !instance->ExecuteOn( v ) )
                      return wrong + "run failed: " + h.GetConsole().Transcript();
                   // 0.5 × 0.25 + 0.5 × 0.5
                   for ( int c = 0; c < 3; ++c )
                      for ( size_t i = 0; i < 520 * 512; i += 4099 )
                         if ( v.Samples<float>( c )[i] != 0.375f )
                            return wrong + "sample " + std::to_string( i ) + " of channel " + std::to_string( c ) +
                                   " is " + std::to_string( v.Samples<float>( c )[i] );
                   return wrong;
                }),
                ::testing::ExitedWithCode( 0 ), "" );
}

} // namespace

// The module file as the host loads it: installation, initialisation and
// identification through the library's own entry functions, and a run started
// from the interface window. The interface it declares is checked through
// velqora-host's listing.
#include "tests/ModuleCopy.h"

#include "tests/ScratchDirectory.h"
#include "tools/GraphWriter.h"

#include <gtest/gtest.h>

namespace
{

// Each case on a fresh copy of the module file, which starts without a module
// object. Before initialisation the module has no console: refusals go to
// standard error; after it, to the host's console.
TEST( ModuleHost, InstallationAndInitialisation )
{
   const std::string noModuleObject =
      "*** Error: Module metadata not available. Please instantiate a MetaModule descendent class upon module installation.";
   const struct
   {
      const char* name;
      std::vector<int> installs; // modes, in order, with their results
      std::vector<int> installResults;
      uint32_t apiVersion;
      int32_t initialized;
      size_t declared; // processes; what they are is checked through velqora-host's listing
      std::string standardError, console;
   } cases[] = {
      { "full install", { 0 }, { 0 }, HOST_API_VERSION, 0, 1, "", "" },
      { "module only", { 1 }, { 0 }, HOST_API_VERSION, 0, 0, "", "" },
      { "negative mode", { -1 }, { 0 }, HOST_API_VERSION, 0, 0, "", "" },
      { "other mode", { 7 }, { 0 }, HOST_API_VERSION, 0, 0, "", "" },
      { "second module object", { 0, 0 }, { 0, 1 }, HOST_API_VERSION, 0, 1,
        "*** Error: MetaModule: Module redefinition not allowed", "" },
      { "old host", { 0 }, { 0 }, HOST_API_VERSION_MINIMUM - 1, 1, 0, "", "" },
      { "not installed", {}, {}, HOST_API_VERSION, 1, 0, "", noModuleObject },
   };
   for ( const auto& c : cases )
   {
      SCOPED_TRACE( c.name );
      host::Host h;
      ModuleCopy module;
      testing::internal::CaptureStderr();
      for ( size_t i = 0; i < c.installs.size(); ++i )
         EXPECT_EQ( module->Install( c.installs[i] ), c.installResults[i] );
      const std::string standardError = testing::internal::GetCapturedStderr();
      EXPECT_EQ( module->Initialize( c.apiVersion ), c.initialized );
      EXPECT_EQ( h.Processes().Processes().size(), c.declared );
      EXPECT_NE( standardError.find( c.standardError ), std::string::npos ) << standardError;
      EXPECT_NE( h.GetConsole().Transcript().find( c.console ), std::string::npos ) << h.GetConsole().Transcript();
   }
   // Identification needs the module object too; an install for
   // identification only makes it. What the module tells is checked through
   // velqora-host's listing.
   host::Host h;
   ModuleCopy module;
   testing::internal::CaptureStderr();
   EXPECT_FALSE( module->Identify() );
   EXPECT_NE( testing::internal::GetCapturedStderr().find( noModuleObject ), std::string::npos );
   EXPECT_EQ( module->Install( -1 ), 0 );
   EXPECT_TRUE( module->Identify() );
   EXPECT_EQ( module->Description().name, "Velqora" );
}

class StartedModule : public StartedModuleTest
{
};

// One denoise run as a user starts it: edits in the window, then apply to the
// current view.
TEST_F( StartedModule, AppliesTheWindowsInstanceToTheCurrentView )
{
   ScratchDirectory directory;
   WorkingDirectory inside( directory.Path() );
   project_pelk::graphs::WriteGraphFile( "Velqora_weights_v2.pb", project_pelk::graphs::GraphKind::Affine,
                                         { .scale = 0.5f, .offset = 0.25f } );
   host::View& view = m_host.Windows().CreateView( "image", 512, 512, 3, 1 /* RGB */, 32, true );
   for ( int c = 0; c < 3; ++c )
      std::fill_n( view.Samples<float>( c ), 512 * 512, 0.4f );

   host::Interface& window = VelqoraInterface();
   ASSERT_TRUE( window.Launch() );
   host::Controls& controls = m_host.GetControls();
   EXPECT_EQ( controls.TypeText( *controls.FindAll( window.Window(), HOST_CONTROL_EDIT )[0], u"0.5" ), 0 );
   EXPECT_EQ( controls.SetChecked( *controls.FindAll( window.Window(), HOST_CONTROL_CHECK_BOX )[0], false ), 0 );
   window.Apply();

   // strength 0.5 of the network's 0.5 x + 0.25 over the source x = 0.4
   for ( int c = 0; c < 3; ++c )
      EXPECT_NEAR( view.Samples<float>( c )[512 * 100 + 200], 0.425f, 1e-6 ) << "channel " << c;
   EXPECT_EQ( m_host.GetConsole().Transcript().find( "*** Error" ), std::string::npos ) << m_host.GetConsole().Transcript();
}

} // namespace

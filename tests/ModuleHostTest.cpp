// The module file as the host loads it: identification, the interface it
// declares, and a run started from the interface window.
#include "tests/ModuleCopy.h"

#include "tests/ScratchDirectory.h"
#include "tools/GraphWriter.h"

#include <gtest/gtest.h>

namespace
{

// A full install, and one for identification only.
TEST( ModuleHost, IdentificationDescribesTheModule )
{
   for ( int32_t mode : { 0, -1 } )
   {
      SCOPED_TRACE( mode );
      host::Host h;
      ModuleCopy module;
      ASSERT_EQ( module->Install( mode ), 0 );
      ASSERT_TRUE( module->Identify() );
      const host::ModuleDescription& d = module->Description();
      EXPECT_EQ( d.name, "Velqora" );
      EXPECT_EQ( d.version, "PIXINSIGHT_MODULE_VERSION_1.1.0.0096.eng" );
      EXPECT_EQ( d.description, "PixInsight Velqora Process Module" );
      EXPECT_EQ( d.fileName, "Velqora-pxm.so" );
      EXPECT_EQ( ( std::vector<int>{ d.releaseYear, d.releaseMonth, d.releaseDay } ), ( std::vector<int>{ 2026, 5, 18 } ) );
      EXPECT_FALSE( d.author.empty() || d.copyright.empty() );
      EXPECT_TRUE( d.company.empty() && d.tradeMarks.empty() );
   }
}

// Before initialisation the module has no console: refusals go to standard error.
TEST( ModuleHost, RefusalsBeforeInitialisation )
{
   const struct
   {
      const char* name;
      bool ( *refused )( host::LoadedModule& );
      std::string message;
   } cases[] = {
      { "identification without a module object", []( host::LoadedModule& m ) { return !m.Identify(); },
        "Module metadata not available. Please instantiate a MetaModule descendent class upon module installation." },
      { "a second module object",
        []( host::LoadedModule& m ) { return m.Install( 1 ) == 0 && m.Install( 0 ) != 0; },
        "MetaModule: Module redefinition not allowed" },
   };
   for ( const auto& c : cases )
   {
      SCOPED_TRACE( c.name );
      host::Host h;
      ModuleCopy module;
      testing::internal::CaptureStderr();
      const bool refused = c.refused( *module.operator->() );
      const std::string standardError = testing::internal::GetCapturedStderr();
      EXPECT_TRUE( refused );
      EXPECT_NE( standardError.find( "*** Error: " + c.message ), std::string::npos ) << standardError;
   }
}

class StartedModule : public StartedModuleTest
{
};

TEST_F( StartedModule, DeclaresItsInterfaceWithTheProcesssIcon )
{
   ASSERT_EQ( m_host.Interfaces().Interfaces().size(), 1u );
   const host::Interface& window = VelqoraInterface();
   EXPECT_EQ( &window.GetProcess(), &VelqoraProcess() );
   EXPECT_TRUE( window.RequiresInstanceValidation() );
   ASSERT_FALSE( window.IconXPM().empty() );
   EXPECT_EQ( window.IconXPM(), VelqoraProcess().IconXPM() );
}

// One denoise run as a user starts it: edits in the window, then apply to the
// current view.
TEST_F( StartedModule, AppliesTheWindowsInstanceToTheCurrentView )
{
   ScratchDirectory directory;
   WorkingDirectory inside( directory.Path() );
   project_pelk::graphs::WriteGraphFile( "Velqora_weights_v2.pb", project_pelk::graphs::GraphKind::Affine,
                                         { .scale = 0.5f, .offset = 0.25f } );
   host::View& view = m_host.CreateView( "image", 512, 512, 3, 1 /* RGB */, 32, true );
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

// The process's window as the host keeps it, driven as a user drives it.
#include "tests/InstalledModule.h"
#include "tests/ModuleCopy.h"

#include "module/VelqoraInterface.h"
#include "platform/metamodule/ModuleEntry.h"
#include "tests/HostFixture.h"


#include <gtest/gtest.h>

namespace
{

class InterfaceWindow : public StartedModuleTest
{
protected:
   host::Interface& Window() { return VelqoraInterface(); }
   host::ControlElement& Find( int32_t kind )
   {
      return *m_host.GetControls().FindAll( Window().Window(), kind ).at( 0 );
   }
   int UserSets( int32_t kind, const std::string& value ) { return m_host.GetControls().SetValueAsUser( Find( kind ), value ); }
   std::string Tree() { return Window().Print(); }

   // An instance made by the host, with parameters written as a script would.
   std::unique_ptr<host::Instance> Script( const std::vector<std::string>& assignments )
   {
      std::unique_ptr<host::Instance> instance = VelqoraProcess().Create();
      for ( const std::string& a : assignments )
         instance->SetParameter( a );
      return instance;
   }
   bool Import( const host::Instance& instance )
   {
      std::string whyNot;
      return Window().Import( instance, whyNot );
   }

   // The five values of an instance the window makes.
   std::string Values()
   {
      std::unique_ptr<host::Instance> instance = Window().NewInstance();
      std::string text;
      for ( const char* id : { "amount", "linear", "model", "shadows_clipping", "target_background" } )
         text += std::string( text.empty() ? "" : " " ) + id + "=" + instance->ParameterText( id );
      return text;
   }

   const std::string Defaults = "amount=1 linear=true model=v2 shadows_clipping=-2.8 target_background=0.25";
};

const char* const TreeAtRatio1 = R"tree([1] Window title="Velqora" size=407x88 fixed=407x88
  [7] VerticalSizer margin=8 spacing=6
    [2] Frame tooltip="<p>Use this slider to reduce the effect: </br> final = strength * denoised + (1 - strength) * original</p>"
      [5] HorizontalSizer margin=0 spacing=4
        [3] Label text="Strength:" align=right|vcenter
        [4] Edit text="1.00" range=0..1 precision=2
        [6] Slider value=250 range=0..250 minwidth=250 stretch=100
    [9] HorizontalSizer margin=0 spacing=4
      [8] Label text="Model version:" align=right|vcenter minwidth=98 tooltip="<p>Selects model version.</p>"
      [10] ComboBox items="v2 (RGB and Grayscale)","v1 (RGB only)" current=0
      Stretch 100
    [11] HorizontalSizer margin=0 spacing=0
      Spacing 102
      [12] CheckBox text="Linear data" checked=true tooltip="<p>Uses STF Parameters to stretch the image and then de-stretches it back.</p>"
      Stretch 100
)tree";

TEST( InterfaceWindowScaling, ControlsAfterTheFirstLaunchAtDisplayRatiosOneAndTwo )
{
   // At ratio 2 the font measures twice as wide; scaled sizes double, the
   // measured label width is taken as it is.
   const std::pair<std::string, std::string> doubled[] = {
      { "size=407x88 fixed=407x88", "size=814x176 fixed=814x176" },
      { "VerticalSizer margin=8 spacing=6", "VerticalSizer margin=16 spacing=12" },
      { "margin=0 spacing=4", "margin=0 spacing=8" },
      { "minwidth=250", "minwidth=500" },
      { "minwidth=98", "minwidth=196" },
      { "Spacing 102", "Spacing 204" },
   };
   std::string treeAtRatio2 = TreeAtRatio1;
   for ( const auto& [one, two] : doubled )
      for ( size_t at = 0; ( at = treeAtRatio2.find( one, at ) ) != std::string::npos; at += two.size() )
         treeAtRatio2.replace( at, one.size(), two );
   for ( auto [ratio, tree] : { std::pair{ 1.0, std::string( TreeAtRatio1 ) }, std::pair{ 2.0, treeAtRatio2 } } )
   {
      host::Host h;
      h.GetControls().SetDisplayPixelRatio( ratio );
      ModuleCopy module;
      module->Start();
      host::Interface& window = *h.Interfaces().Find( "Velqora" );
      ASSERT_TRUE( window.Launch() );
      EXPECT_EQ( window.Print(), tree ) << "ratio " << ratio;
   }
}

// Each edit after a reset, with the values of the window's next instance and
// what the edited control then shows.
TEST_F( InterfaceWindow, UserEditsReachTheInstance )
{
   const struct
   {
      int32_t control;
      std::string input, values, shown;
   } cases[] = {
      { HOST_CONTROL_EDIT, "0.456", "amount=0.46", "Edit text=\"0.46\"" },
      { HOST_CONTROL_EDIT, "-3", "amount=0", "Slider value=0 " },
      { HOST_CONTROL_EDIT, "abc", "amount=1", "Edit text=\"1.00\"" },
      { HOST_CONTROL_SLIDER, "115", "amount=0.46", "Edit text=\"0.46\"" },
      { HOST_CONTROL_COMBO_BOX, "v1 (RGB only)", "model=v1", "current=1" },
      { HOST_CONTROL_CHECK_BOX, "false", "linear=false", "checked=false" },
   };
   ASSERT_TRUE( Window().Launch() );
   for ( const auto& c : cases )
   {
      SCOPED_TRACE( c.input );
      Window().Reset();
      EXPECT_EQ( UserSets( c.control, c.input ), 0 );
      EXPECT_NE( Values().find( c.values ), std::string::npos ) << Values();
      EXPECT_NE( Tree().find( c.shown ), std::string::npos ) << Tree();
   }
}

TEST_F( InterfaceWindow, ASecondLaunchLeavesTheControlsAndResetRestoresEverything )
{
   ASSERT_TRUE( Window().Launch() );
   ASSERT_TRUE( Import( *Script( { "shadows_clipping=-1.5", "target_background=0.1" } ) ) );
   UserSets( HOST_CONTROL_EDIT, "0.3" );
   UserSets( HOST_CONTROL_COMBO_BOX, "1" );
   UserSets( HOST_CONTROL_CHECK_BOX, "false" );
   const std::string edited = Tree();
   ASSERT_TRUE( Window().Launch() );
   EXPECT_EQ( Tree(), edited );
   EXPECT_EQ( m_host.GetControls().Find( 13 ), nullptr ) << "no control made";
   ASSERT_NE( Values(), Defaults );
   Window().Reset();
   EXPECT_EQ( Values(), Defaults );
   EXPECT_EQ( Tree(), TreeAtRatio1 );
}

TEST_F( InterfaceWindow, AnImportedInstanceIsShownAndPassedOnWhole )
{
   const std::string scripted = "amount=0.3 linear=false model=v1 shadows_clipping=-1.5 target_background=0.1";
   const auto instance = Script( { "amount=0.3", "linear=false", "model=v1", "shadows_clipping=-1.5", "target_background=0.1" } );
   // Before the first launch the instance changes; there are no controls to show it.
   ASSERT_TRUE( Import( *instance ) );
   EXPECT_EQ( Values(), scripted );
   Window().Reset();
   EXPECT_EQ( Values(), Defaults );
   EXPECT_EQ( m_host.GetControls().FindAll( Window().Window(), HOST_CONTROL_EDIT ).size(), 0u );

   ASSERT_TRUE( Import( *instance ) );
   ASSERT_TRUE( Window().Launch() );
   const std::string tree = Tree();
   for ( const char* shown : { "Edit text=\"0.30\"", "Slider value=75 ", "current=1", "checked=false" } )
      EXPECT_NE( tree.find( shown ), std::string::npos ) << shown;
   EXPECT_EQ( Values(), scripted ) << "the values without controls travel too";

   // as a user opens an instance's window
   ASSERT_EQ( host::InstanceLaunchInterface( &VelqoraProcess(), Script( { "amount=0.6" } )->Handle() ), 0 );
   EXPECT_NE( Tree().find( "Edit text=\"0.60\"" ), std::string::npos ) << Tree();
}

class InterfaceInProcess : public HostTest
{
};

TEST_F( InterfaceInProcess, AForeignProcessOrInstanceIsNotTaken )
{
   host::Host& h = m_host;
   InstalledProcess();
   ASSERT_EQ( InitializePixInsightModule( nullptr, &host::ResolveHostFunction, HOST_API_VERSION, nullptr ), 0 );
   pcl::VelqoraInterface& w = *pcl::TheVelqoraInterface;
   OtherProcess foreign;

   bool dynamic = true;
   unsigned flags = 5;
   EXPECT_FALSE( w.Launch( foreign, nullptr, dynamic, flags ) );
   EXPECT_FALSE( dynamic );
   EXPECT_EQ( flags, 5u );
   const host::ControlElement& window = h.Interfaces().Find( "Velqora" )->Window();
   EXPECT_EQ( h.GetControls().FindAll( window, HOST_CONTROL_CHECK_BOX ).size(), 1u ) << "the controls are built all the same";
   EXPECT_TRUE( w.Launch( *pcl::TheVelqoraProcess, nullptr, dynamic, flags ) );

   pcl::VelqoraInstance edited( pcl::TheVelqoraProcess );
   edited.amount = 0.3;
   ASSERT_TRUE( w.ImportProcess( edited ) );
   OtherInstance stranger( &foreign );
   pcl::String whyNot;
   EXPECT_FALSE( w.ValidateProcess( stranger, whyNot ) );
   EXPECT_EQ( whyNot, pcl::String( "Not a Velqora instance." ) );
   EXPECT_TRUE( w.ImportProcess( stranger ) ) << "one that reaches the window anyway changes nothing";
   std::unique_ptr<pcl::ProcessImplementation> made( w.NewProcess() );
   EXPECT_EQ( dynamic_cast<pcl::VelqoraInstance&>( *made ).amount, 0.3 );
}

} // namespace

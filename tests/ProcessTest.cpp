// The Velqora process as the host sees it: declared at initialisation, its
// instances created, written, checked and run through the module's callbacks,
// and its command line.
#include "HostFixture.h"

#include "module/VelqoraParameters.h"
#include "platform/image/ColorSpace.h"
#include "platform/image/View.h"
#include "platform/boundary/HostCall.h"
#include "platform/metamodule/ModuleEntry.h"
#include "platform/process/Argument.h"
#include "platform/process/MetaParameter.h"
#include "tests/ErrorOf.h"
#include "tests/InstalledModule.h"
#include "tests/ScratchDirectory.h"
#include "tools/GraphWriter.h"

#include <limits>
#include <memory>

using namespace pcl;
using project_pelk::graphs::GraphKind;
using project_pelk::graphs::WriteGraphFile;

namespace
{

std::string Joined( const std::vector<std::string>& v )
{
   std::string s;
   for ( const std::string& x : v )
      s += ( s.empty() ? "" : ", " ) + x;
   return s;
}

// The module installed once in this process and declared to each test's host.
class ProcessTest : public HostTest
{
protected:
   void SetUp() override
   {
      HostTest::SetUp();
      InstalledProcess();
      ASSERT_EQ( InitializePixInsightModule( nullptr, &host::ResolveHostFunction, HOST_API_VERSION, nullptr ), 0 );
      ASSERT_NE( Velqora(), nullptr );
      // Runs find the weights under their bare name: a constant network output.
      WriteGraphFile( "Velqora_weights_v2.pb", GraphKind::Affine, { .scale = 0, .offset = 0.25f } );
   }

   host::Process* Velqora() { return m_host.Processes().Find( "Velqora" ); }

   // A grayscale view whose samples are all `value`.
   host::View& Flat( const std::string& id, int width = 512, int height = 512, double value = 0.5 )
   {
      host::View& v = m_host.Windows().CreateView( id, width, height, 1, ColorSpace::Gray, 32, true );
      std::fill_n( v.Samples<float>( 0 ), size_t( width ) * height, float( value ) );
      return v;
   }

   static std::string ErrorLine( const std::string& message ) { return "*** Error: " + message + "\033[39m"; }

   ScratchDirectory m_dir;
   WorkingDirectory m_cwd{ m_dir.Path() };
};

// Parameters, defaults and ranges as the host lists them are checked whole
// through velqora-host's listing.
TEST_F( ProcessTest, DeclaresTheProcess )
{
   const host::Process& p = *Velqora();
   EXPECT_EQ( m_host.Processes().Processes().size(), 1u );
   EXPECT_EQ( p.Category(), "" );
   EXPECT_EQ( p.Description(), "<html><p>A neural network removing stars from stretched images.</p></html>" );
   EXPECT_TRUE( p.CanProcessCommandLines() );
}

TEST_F( ProcessTest, HostWritesAreCheckedAgainstTheDeclarations )
{
   struct Case
   {
      const char* assignment;
      const char* id;
      const char* after; // the value as the host reads it afterwards
      const char* refusal;
   };
   const Case cases[] = {
      { "amount=0.5", "amount", "0.5", nullptr },
      { "amount=0", "amount", "0", nullptr },
      { "amount=1.5", "amount", "1", "Invalid value for parameter amount: 1.5 (outside 0 to 1)" },
      { "amount=-0.01", "amount", "1", "Invalid value for parameter amount: -0.01 (outside 0 to 1)" },
      { "amount=nan", "amount", "1", "Invalid value for parameter amount: nan" },
      { "amount=", "amount", "1", "Invalid value for parameter amount: " },
      { "shadows_clipping=-40", "shadows_clipping", "-40", nullptr },
      { "target_background=1e300", "target_background", "1e+300", nullptr },
      { "model=v1", "model", "v1", nullptr },
      { "model=1", "model", "v1", nullptr },
      { "model=2", "model", "v2",
        "Invalid value for parameter model: 2 (neither an element nor an element index)" },
      { "model=V1", "model", "v2",
        "Invalid value for parameter model: V1 (neither an element nor an element index)" },
      { "linear=false", "linear", "false", nullptr },
      { "linear=yes", "linear", "true", "Invalid value for parameter linear: yes (true or false)" },
      { "strength=1", nullptr, nullptr, "Unknown parameter of process Velqora: strength" },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.assignment );
      std::unique_ptr<host::Instance> instance = Velqora()->Create();
      EXPECT_EQ( ErrorOf( [&] { instance->SetParameter( c.assignment ); } ), c.refusal ? c.refusal : "no error" );
      if ( c.id != nullptr )
      {
         EXPECT_EQ( instance->ParameterText( c.id ), c.after );
      }
   }
}

TEST_F( ProcessTest, CopiesKeepEveryValue )
{
   std::unique_ptr<host::Instance> source = Velqora()->Create();
   const std::vector<std::pair<std::string, std::string>> changed = {
      { "amount", "0.3" }, { "linear", "false" }, { "model", "v1" },
      { "target_background", "0.125" }, { "shadows_clipping", "-1.5" } };
   for ( const auto& [id, value] : changed )
      source->SetParameter( id, value );
   std::unique_ptr<host::Instance> clone = source->Clone();
   std::unique_ptr<host::Instance> assigned = Velqora()->Create();
   ASSERT_TRUE( assigned->Assign( *source ) );
   for ( const auto& [id, value] : changed )
   {
      EXPECT_EQ( clone->ParameterText( id ), value ) << id;
      EXPECT_EQ( assigned->ParameterText( id ), value ) << id;
   }

   // Nothing is taken from, or copied of, an instance of another process.
   OtherProcess other;
   OtherInstance stranger( &other );
   auto* velqora = static_cast<VelqoraInstance*>( source->Handle() );
   velqora->Assign( stranger );
   EXPECT_EQ( source->ParameterText( "amount" ), "0.3" );
   EXPECT_EQ( source->ParameterText( "model" ), "v1" );
   EXPECT_EQ( InstalledProcess()->Clone( stranger ), nullptr );
   EXPECT_EQ( velqora->LockParameter( nullptr, 0 ), nullptr );
   EXPECT_TRUE( velqora->AllocateParameter( 7, TheAmountParameter, 3 ) );
   EXPECT_EQ( velqora->ParameterLength( TheAmountParameter, 3 ), 0u );
}

TEST_F( ProcessTest, CanExecuteOnGivesTheFirstReasonThatApplies )
{
   struct Case
   {
      int width, height, channels, colorSpace, bits;
      bool isFloat, isComplex;
      const char* reason; // null: can execute
   };
   const Case cases[] = {
      { 512, 512, 1, ColorSpace::Gray, 32, true, false, nullptr },
      { 512, 512, 3, ColorSpace::RGB, 16, false, false, nullptr },
      { 512, 512, 2, ColorSpace::Gray, 32, true, true, "Velqora cannot be executed on complex images." },
      { 512, 512, 3, ColorSpace::CIELab, 32, true, false, "Velqora can only be executed on grayscale and RGB images." },
      { 512, 512, 4, ColorSpace::RGB, 32, true, false, "Velqora cannot be executed on images with alpha channels." },
      { 64, 64, 2, ColorSpace::Gray, 32, true, false, "Velqora cannot be executed on images with alpha channels." },
      { 511, 4000, 1, ColorSpace::Gray, 8, false, false, "Velqora requires images at least 512x512 pixels." },
      { 4000, 511, 1, ColorSpace::Gray, 8, false, false, "Velqora requires images at least 512x512 pixels." },
      { 512, 512, 1, ColorSpace::Gray, 16, true, false, "Velqora does not support this floating-point sample depth." },
      { 512, 512, 1, ColorSpace::Gray, 24, false, false, "Velqora does not support this integer sample depth." },
      { 512, 512, 1, ColorSpace::Gray, 64, false, false, "Velqora does not support this integer sample depth." },
   };
   std::unique_ptr<host::Instance> instance = Velqora()->Create();
   instance->SetParameter( "model", "v1" ); // plays no part here, even for grayscale
   for ( const Case& c : cases )
   {
      host::View& v = m_host.Windows().CreateView( "view", c.width, c.height, c.channels, c.colorSpace, c.bits, c.isFloat,
                                         c.isComplex );
      std::string whyNot = "unchanged";
      EXPECT_EQ( instance->CanExecuteOn( v, whyNot ), c.reason == nullptr ) << c.reason;
      EXPECT_EQ( whyNot, c.reason ? c.reason : "unchanged" );
      m_host.Windows().CloseView( "view" );
   }
}

// Every pixel type is run through the module file by velqora-host (HostToolTest).
TEST_F( ProcessTest, ExecutesAndDeclinesOtherFormats )
{
   std::unique_ptr<host::Instance> instance = Velqora()->Create();
   instance->SetParameter( "linear", "false" );
   // A value that only the automatic stretch reads plays no part here.
   instance->SetParameter( "target_background", "0" );
   // The constant network output 0.25 replaces the image at full strength.
   host::View& rgb = m_host.Windows().CreateView( "rgb", 512, 512, 3, ColorSpace::RGB, 16, false );
   EXPECT_TRUE( instance->ExecuteOn( rgb ) );
   for ( int c = 0; c < 3; ++c )
      EXPECT_EQ( rgb.Samples<uint16_t>( c )[1000 * c + 7], UInt16PixelTraits::ToSample( 0.25 ) );
   EXPECT_FALSE( rgb.IsLocked() );

   // Formats that only a direct call can bring here: nothing is done.
   const std::tuple<int, bool, bool> declined[] = { { 16, true, false }, { 24, false, false }, { 32, true, true } };
   for ( const auto& [bits, isFloat, isComplex] : declined )
   {
      host::View& v = m_host.Windows().CreateView( "odd", 512, 512, 1, ColorSpace::Gray, bits, isFloat, isComplex );
      View view( v.Handle() );
      EXPECT_FALSE( static_cast<VelqoraInstance*>( instance->Handle() )->ExecuteOn( view ) ) << bits;
      EXPECT_FALSE( v.IsLocked() );
      m_host.Windows().CloseView( "odd" );
   }
   EXPECT_EQ( ConsoleText().find( "*** Error" ), std::string::npos ) << ConsoleText();
}

TEST_F( ProcessTest, AFailedRunIsReportedAndLeavesTheViewUnlocked )
{
   std::unique_ptr<host::Instance> instance = Velqora()->Create();
   instance->SetParameter( "model", "v1" );
   host::View& gray = Flat( "gray" );
   EXPECT_FALSE( instance->ExecuteOn( gray ) );
   EXPECT_NE( ConsoleText().find( ErrorLine( "This model version only supports RGB images!" ) ), std::string::npos );
   EXPECT_FALSE( gray.IsLocked() );
   EXPECT_EQ( gray.Samples<float>( 0 )[0], 0.5f );
   // The host refuses what the instance cannot execute on, with its reason.
   host::View& small = Flat( "small", 100, 600 );
   EXPECT_FALSE( instance->ExecuteOn( small ) );
   EXPECT_NE( ConsoleText().find( ErrorLine( "Velqora requires images at least 512x512 pixels." ) ), std::string::npos );
   EXPECT_EQ( Joined( m_host.Processes().Log() ), "Velqora on gray" );
}

TEST_F( ProcessTest, CommandLine )
{
   const std::string help = "<raw>Usage: Velqora [<arg_list>] [<view_list>]\n\n--interface\n\n"
                            "      Launches the interface of this process.\n\n--help\n\n"
                            "      Displays this help and exits.</raw>";
   struct Case
   {
      const char* arguments;
      const char* log;     // what the process was asked to do, in order
      const char* console; // the help text, or the error message; "" for neither
      bool windows = true;
   };
   const Case cases[] = {
      { "", "Velqora on a->p", "" },
      { "", "", "There is no active image window.", false },
      { "--help", "", "help" },
      { "--help b", "", "help" },
      { "--help nosuch", "", "Image not found" },
      { "b --help a", "Velqora on b", "help" },
      { "--interface", "Velqora interface", "" },
      { "b --interface a", "Velqora on b, Velqora on a, Velqora interface", "" },
      { "--interface a->*", "Velqora on a->p, Velqora interface", "" },
      { "-help", "", "Unknown argument: help" },
      { "--Help", "", "Unknown argument: -Help" },
      { "b --bogus", "Velqora on b", "Unknown argument: -bogus" },
      { "--interface=1", "", "Unknown numeric argument: -interface=1" },
      { "--interface=on", "", "Unknown string argument: -interface=on" },
      { "--interface+", "", "Unknown switch argument: -interface+" },
      { "x*", "", "No view(s) found: x*" },
      { "a a", "Velqora on a, Velqora on a", "" },
      { "? 'b'", "Velqora on a, Velqora on b, Velqora on b", "" },
      { "a->q", "", "No such view: a->q" },
      { "''", "", "Missing image identifier" },
      { "->p", "", "Unknown argument: >p" },
      { "a->", "", "Missing preview identifier" },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.arguments );
      if ( c.windows )
      {
         Flat( "a", 600, 600 );
         m_host.Windows().CreatePreview( "a", "p", 10, 20, 512, 512 );
         Flat( "b" );
         m_host.Windows().SelectView( "a->p" ); // b was opened last; a's preview is made current
      }
      const bool failure = c.console != std::string( "" ) && c.console != std::string( "help" );
      EXPECT_EQ( m_host.Processes().RunCommandLine( "Velqora " + std::string( c.arguments ) ), !failure );
      EXPECT_EQ( Joined( m_host.Processes().Log() ), c.log );
      const std::string console = ConsoleText();
      const bool helped = console.size() >= help.size() && console.ends_with( help );
      EXPECT_EQ( helped, c.console == std::string( "help" ) );
      if ( failure )
      {
         EXPECT_NE( console.find( ErrorLine( c.console ) ), std::string::npos ) << console;
      }
      m_host.Windows().CloseView( "a" );
      m_host.Windows().CloseView( "b" );
      m_host.Processes().ClearLog();
      HostConsole().ClearTranscript();
   }
}

TEST_F( ProcessTest, ArgumentsAreParsedByKind )
{
   Flat( "img" );
   Flat( "im2" );
   m_host.Windows().CreatePreview( "img", "p1", 0, 0, 8, 8 );
   m_host.Windows().CreatePreview( "img", "p2", 0, 0, 8, 8 );
   m_host.Windows().CreatePreview( "im2", "p1", 0, 0, 8, 8 );
   // Identifiers the host would not give, to show that '[' and '\\' in a
   // pattern stand for themselves.
   for ( const char* id : { "x[1]", "x1", "\\x1" } )
      Flat( id );
   struct Case
   {
      const char* argument;
      const char* parsed; // kind, id, token, items
   };
   const Case cases[] = {
      { "-x=-2.5e1", "numeric|x|x=-2.5e1|" },
      { "-x=+3", "numeric|x|x=+3|" },
      { "-x=3a", "string|x|x=3a|" },
      { "-x=", "string|x|x=|" },
      { "-s-", "switch|s|s-|" },
      { "-", "literal|||" },
      { "img->p9", "items||img->p9|img->p9" },
      { "im*", "items||im*|img,im2" },
      { "im?->p1", "items||im?->p1|img->p1,im2->p1" },
      { "*->?2", "items||*->?2|img->p2" },
      { "x[1]*", "items||x[1]*|x[1]" },
      { "x[!1]*", "items||x[!1]*|" },
      { "x[*", "items||x[*|x[1]" },
      { "x?1*", "items||x?1*|x[1]" },
      { "\\x*", "items||\\x*|\\x1" },
      { "?x*", "items||?x*|\\x1" },
   };
   for ( const Case& c : cases )
   {
      StringList argv;
      argv.Add( String( c.argument ) );
      const Argument a = ExtractArguments( argv, ArgumentItemMode::AsViews, ArgumentOption::AllowWildcards )[0];
      std::string items;
      for ( const String& item : a.Items() )
         items += std::string( items.empty() ? "" : "," ) + item.ToStdUTF8();
      const char* kind = a.IsLiteral() ? "literal" : a.IsNumeric() ? "numeric" : a.IsString() ? "string"
                       : a.IsSwitch()  ? "switch"
                                       : "items";
      EXPECT_EQ( std::string( kind ) + "|" + a.Id().ToStdUTF8() + "|" + a.Token().ToStdUTF8() + "|" + items,
                 c.parsed )
         << c.argument;
   }
   // Without the wildcard option a pattern is an identifier like any other.
   StringList pattern;
   pattern.Add( "im*" );
   EXPECT_EQ( ErrorOf( [&] { ExtractArguments( pattern, ArgumentItemMode::AsViews, 0 ); } ), "Image not found" );
}

TEST_F( ProcessTest, CommandLinesAreSplitAsAShellSplitsThem )
{
   const std::pair<const char*, const char*> cases[] = {
      { "  Velqora   a\tb ", "Velqora|a|b" },
      { "Velqora 'a b' \"c \\\" d\" e\\ f", "Velqora|a b|c \" d|e f" },
      { "Velqora ''", "Velqora|" },
      { "Velqora 'a\\b' \"c\\\\d\" \"e\\f\"", "Velqora|a\\b|c\\d|e\\f" },
   };
   for ( const auto& [line, words] : cases )
   {
      std::string joined;
      for ( const std::string& w : host::SplitCommandLine( line ) )
         joined += ( joined.empty() ? "" : "|" ) + w;
      EXPECT_EQ( joined, words ) << line;
   }
   EXPECT_THROW( host::SplitCommandLine( "Velqora 'a" ), std::runtime_error );
   EXPECT_THROW( m_host.Processes().RunCommandLine( "Nothing a" ), std::runtime_error );
}

// A process that declares the parameters it is given, for what the host
// must receive of them. Its enumerations keep their elements in an array,
// which refuses a read past its end.
class ProbeProcess : public MetaProcess
{
public:
   struct Spec
   {
      const char* id;
      double minimum = std::numeric_limits<double>::lowest(), maximum = std::numeric_limits<double>::max();
      std::vector<std::string> elements = {}; // an enumeration when not empty or with `enumeration`
      size_t defaultIndex = 0;
      bool enumeration = false;
   };

   ProbeProcess( const char* id, const std::vector<Spec>& specs ) : m_id( id )
   {
      for ( const Spec& spec : specs )
         if ( spec.enumeration || !spec.elements.empty() )
            m_parameters.push_back( std::make_unique<Enumeration>( this, spec ) );
         else
            m_parameters.push_back( std::make_unique<Real>( this, spec ) );
   }
   IsoString Id() const override { return m_id; }
   ProcessImplementation* Create() const override { return nullptr; }
   ProcessImplementation* Clone( const ProcessImplementation& ) const override { return nullptr; }

private:
   struct Real : MetaDouble
   {
      Real( MetaProcess* p, const Spec& s ) : MetaDouble( p ), spec( s ) {}
      IsoString Id() const override { return spec.id; }
      double MinimumValue() const override { return spec.minimum; }
      double MaximumValue() const override { return spec.maximum; }
      Spec spec;
   };
   struct Enumeration : MetaEnumeration
   {
      Enumeration( MetaProcess* p, const Spec& s ) : MetaEnumeration( p ), spec( s ) {}
      IsoString Id() const override { return spec.id; }
      size_t NumberOfElements() const override { return spec.elements.size(); }
      IsoString ElementId( size_t i ) const override { return spec.elements.at( i ).c_str(); }
      int ElementValue( size_t i ) const override
      {
         static_cast<void>( spec.elements.at( i ) );
         return 10 + int( i );
      }
      size_t DefaultValueIndex() const override { return spec.defaultIndex; }
      Spec spec;
   };

   IsoString m_id;
   std::vector<std::unique_ptr<MetaParameter>> m_parameters;
};

// Declared as initialisation declares the module's processes: what the host
// accepts it lists as declared, one-sided ranges and every element included;
// what it refuses fails the declaration, with the host's reason.
TEST_F( ProcessTest, ParameterDeclarationsReachTheHostOrFail )
{
   const double lowest = std::numeric_limits<double>::lowest();
   const struct
   {
      const char* process;
      std::vector<ProbeProcess::Spec> parameters;
      const char* listed;  // the host's listing of the process after its first line
      const char* refusal; // the error reported instead
   } cases[] = {
      { "Ranges",
        { { "low", 0 }, { "high", lowest, 10 }, { "both", -1, 1 }, { "none" }, { "inverted", 1, 0 } },
        "  low real default 0 range 0 to 1.7976931348623157e+308\n"
        "  high real default 0 range -1.7976931348623157e+308 to 10\n"
        "  both real default 0 range -1 to 1\n"
        "  none real default 0\n"
        "  inverted real default 0\n",
        nullptr },
      { "Elements", { { .id = "e", .elements = { "a", "b", "c" }, .defaultIndex = 2 } },
        "  e enumeration a=10, b=11, c=12 default c\n", nullptr },
      { "Twice", { { "x" }, { "x" } }, nullptr,
        "Unable to declare the parameter x: Invalid or duplicate parameter identifier: Twice.x" },
      { "Empty", { { .id = "e", .enumeration = true } }, nullptr,
        "Unable to declare the parameter e: Invalid elements of parameter e" },
      { "Default", { { .id = "e", .elements = { "a" }, .defaultIndex = 1 } }, nullptr,
        "Unable to declare the parameter e: Invalid elements of parameter e" },
   };
   for ( const auto& c : cases )
   {
      SCOPED_TRACE( c.process );
      HostConsole().ClearTranscript();
      ProbeProcess probe( c.process, c.parameters );
      EXPECT_EQ( HostCall( [&] { probe.PerformAPIDefinitions(); } ), c.refusal == nullptr );
      if ( c.refusal != nullptr )
      {
         EXPECT_NE( ConsoleText().find( ErrorLine( c.refusal ) ), std::string::npos ) << ConsoleText();
         continue;
      }
      const std::string listing = m_host.Processes().Listing();
      const std::string heading = std::string( c.process ) + " version 0x100\n";
      ASSERT_NE( listing.find( heading ), std::string::npos ) << listing;
      EXPECT_EQ( listing.substr( listing.find( heading ) + heading.size() ), c.listed );
   }
}

} // namespace

#include "host/HostTool.h"

#include "host/Host.h"
#include "host/files/ImageFile.h"
#include "host/LoadedModule.h"
#include "host/terminal/Terminal.h"
#include "platform/core/Utf16.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

namespace host
{

namespace
{

// Options and their argument counts.
struct OptionShape
{
   const char* name;
   size_t arguments;
};
constexpr OptionShape Steps[] = { { "--open", 1 }, { "--select", 1 }, { "--stf", 4 },     { "--set", 1 },
                                  { "--run", 0 },  { "--command", 1 }, { "--save", 1 }, { "--list", 0 },
                                  { "--window", 0 }, { "--window-set", 1 }, { "--window-apply", 0 } };

std::string SampleFormatName( const View& v )
{
   return std::to_string( v.BitsPerSample() ) + "-bit " + ( v.IsFloatSample() ? "floating point" : "unsigned integer" );
}

// The message of the last error the console shows since `from`: what a failed
// process step reported.
std::string LastConsoleError( const std::string& transcript, size_t from )
{
   const std::string mark = "*** Error: ";
   const size_t at = transcript.rfind( mark );
   if ( at == std::string::npos || at < from )
      return "";
   const size_t start = at + mark.size();
   const size_t end = transcript.find_first_of( "\033<\n", start );
   return transcript.substr( start, end == std::string::npos ? std::string::npos : end - start );
}

// A finite number, as a numeric edit reads one, blanks around it allowed.
bool IsNumber( const std::string& text )
{
   char* end = nullptr;
   const double number = std::strtod( text.c_str(), &end );
   while ( *end == ' ' || *end == '\t' )
      ++end;
   return end != text.c_str() && *end == '\0' && std::isfinite( number );
}

std::string Quoted( const ToolStep& step )
{
   std::string text = step.option;
   for ( const std::string& a : step.args )
      text += a.find( ' ' ) == std::string::npos ? " " + a : " \"" + a + "\"";
   return text;
}

} // namespace

const char* ToolUsage() noexcept
{
   return "usage: velqora-host [--module FILE] [--overwrite] STEP...\n"
          "Steps, run in their order; the first that fails ends the run:\n"
          "  --open FILE          open a FITS or TIFF file in a new image window, made the active one\n"
          "  --select VIEW        make a view the current view of its window, and that window active\n"
          "  --stf M,C0,C1,R0,R1 (four times)\n"
          "                       the current view's screen transfer functions: red, green, blue, combined\n"
          "  --set ID=VALUE       set a parameter of the process instance (amount=0.5, model=v1, linear=false)\n"
          "  --run                run the instance on the current view of the active window\n"
          "  --command \"LINE\"     run a process command line, for example \"Velqora --help\"\n"
          "  --save FILE          save the current view (.fits, .fit, .fts, .tif, .tiff); an existing file\n"
          "                       is replaced only with --overwrite\n"
          "  --list               what the module told the host: its description, its processes with their\n"
          "                       parameters, its interfaces\n"
          "  --window             open the process's window and show its controls, each with its number\n"
          "  --window-set N=VALUE set control N of the window as a user does: text for an edit, a position\n"
          "                       for a slider, an item (index or text) for a list, true/false for a check box\n"
          "  --window-apply       apply the window's instance to the current view\n"
          "Exit status: 0 every step succeeded, 1 a step failed, 2 a wrong command line, 130 stopped by Ctrl-C,\n"
          "143 a save abandoned on SIGTERM.\n";
}

ToolOptions ParseToolArguments( const std::vector<std::string>& arguments )
{
   ToolOptions options;
   for ( size_t i = 0; i < arguments.size(); )
   {
      const std::string& option = arguments[i++];
      if ( option == "--module" || option == "--overwrite" )
      {
         if ( option == "--overwrite" )
            options.overwrite = true;
         else if ( i == arguments.size() )
            throw std::invalid_argument( "--module needs a file" );
         else
            options.module = arguments[i++];
         continue;
      }
      const OptionShape* shape = nullptr;
      for ( const OptionShape& s : Steps )
         if ( option == s.name )
            shape = &s;
      if ( shape == nullptr )
         throw std::invalid_argument( "unknown option: " + option );
      if ( arguments.size() - i < shape->arguments )
         throw std::invalid_argument( option + " needs " + std::to_string( shape->arguments ) + " argument" +
                                      ( shape->arguments > 1 ? "s" : "" ) );
      ToolStep step{ option, { arguments.begin() + ptrdiff_t( i ), arguments.begin() + ptrdiff_t( i + shape->arguments ) } };
      i += shape->arguments;
      if ( option == "--stf" )
         for ( const std::string& tuple : step.args )
            ParseScreenTransferFunction( tuple );
      options.steps.push_back( std::move( step ) );
   }
   if ( options.steps.empty() )
      throw std::invalid_argument( "nothing to do" );
   return options;
}

host_stf ParseScreenTransferFunction( const std::string& text )
{
   double v[5];
   const char* p = text.c_str();
   for ( int i = 0; i < 5; ++i )
   {
      char* end = nullptr;
      v[i] = std::strtod( p, &end );
      const bool last = i == 4;
      if ( end == p || !std::isfinite( v[i] ) || *end != ( last ? '\0' : ',' ) || std::isspace( *p ) )
         throw std::invalid_argument( "--stf: \"" + text + "\" is not five numbers m,c0,c1,r0,r1" );
      p = end + 1;
   }
   return host_stf{ v[0], v[1], v[2], v[3], v[4] };
}

std::string IdentifierFromFileName( const std::string& path )
{
   std::string name = path.substr( path.find_last_of( '/' ) + 1 );
   if ( const size_t dot = name.find( '.' ); dot != std::string::npos && dot > 0 )
      name.erase( dot );
   for ( char& c : name )
      if ( !std::isalnum( static_cast<unsigned char>( c ) ) && c != '_' )
         c = '_';
   if ( name.empty() || std::isdigit( static_cast<unsigned char>( name[0] ) ) )
      name = "_" + name;
   return name;
}

HostTool::HostTool( Host& host, const ModuleDescription& module, Terminal& terminal, int errorFd,
                    const std::atomic<int>& interrupts ) noexcept
   : m_host( host )
   , m_module( module )
   , m_terminal( terminal )
   , m_errorFd( errorFd )
   , m_interrupts( interrupts )
{
}

HostTool::~HostTool() = default;

void HostTool::Say( const std::string& text )
{
   m_host.GetConsole().Write( utf::FromUTF8( text ) );
}

View& HostTool::CurrentView() const
{
   if ( m_host.Windows().ActiveWindow() == nullptr )
      throw std::runtime_error( "there is no image window; open a file first" );
   return m_host.Windows().ActiveWindow()->CurrentView();
}

Instance& HostTool::TheInstance()
{
   if ( !m_instance )
   {
      const auto& processes = m_host.Processes().Processes();
      if ( processes.empty() )
         throw std::runtime_error( "the module declared no process" );
      m_instance = processes.front()->Create();
   }
   return *m_instance;
}

Interface& HostTool::TheWindow()
{
   const auto& processes = m_host.Processes().Processes();
   Interface* window = processes.empty() ? nullptr : m_host.Interfaces().ForProcess( *processes.front() );
   if ( window == nullptr )
      throw std::runtime_error( "the module declared no interface" );
   return *window;
}

ToolStatus HostTool::Run( const ToolOptions& options )
{
   for ( const ToolStep& step : options.steps )
   {
      std::string failure;
      try
      {
         if ( m_interrupts.load() == 0 )
            Step( step, options.overwrite );
      }
      catch ( const std::exception& e )
      {
         failure = e.what();
      }
      // A Ctrl-C that came too late to abandon a save waits for its end.
      if ( m_interrupts.load() != 0 )
         failure = step.option == "--save" && failure.empty()
                      ? "stopped by Ctrl-C; " + step.args[0] + " is saved, nothing more is done"
                      : "stopped by Ctrl-C; nothing more is done or saved";
      if ( !failure.empty() )
      {
         m_terminal.Finish();
         // A file's message names the file already.
         const bool named = step.args.size() == 1 && failure.starts_with( step.args[0] + ": " );
         const std::string line =
            "velqora-host: " + ( named ? step.option + " " : Quoted( step ) + ": " ) + failure + "\n";
         (void)!::write( m_errorFd, line.data(), line.size() );
         return m_interrupts.load() != 0 ? ToolAborted : ToolFailed;
      }
   }
   m_terminal.Finish();
   return ToolSucceeded;
}

void HostTool::Step( const ToolStep& step, bool overwrite )
{
   const std::string& o = step.option;
   if ( o == "--open" )
   {
      const std::string& path = step.args[0];
      std::string id = IdentifierFromFileName( path );
      for ( int n = 2; m_host.Windows().FindView( id ) != nullptr; ++n )
         id = IdentifierFromFileName( path ) + "_" + std::to_string( n );
      // The file is read straight into the new view's image.
      View* view = nullptr;
      ImageFileInfo info;
      try
      {
         info = ReadImageFile( path, [&]( const host_image_desc& f ) {
            view = &m_host.Windows().CreateView( id, f.width, f.height, f.numberOfChannels, f.colorSpace,
                                                 f.bitsPerSample, f.isFloatSample != 0 );
            return view->Describe();
         } );
      }
      catch ( ... )
      {
         if ( view != nullptr )
            m_host.Windows().CloseView( id );
         throw;
      }
      view->ImageChanged();
      m_keywords[id] = std::move( info.keywords );
      Say( "<end><cbr>Opened " + path + " as " + id + ": " + std::to_string( view->Width() ) + " x " +
           std::to_string( view->Height() ) + ", " + std::to_string( view->NumberOfChannels() ) + " channel" +
           ( view->NumberOfChannels() > 1 ? "s" : "" ) + ", " + SampleFormatName( *view ) + "\n" );
      if ( !info.conversion.empty() )
         Say( "\033[35m" + id + ": " + info.conversion + "\033[39m\n" );
   }
   else if ( o == "--select" )
      m_host.Windows().SelectView( step.args[0] );
   else if ( o == "--stf" )
   {
      View& view = CurrentView();
      for ( int i = 0; i < HOST_STF_COUNT; ++i )
         view.SetScreenTransferFunction( i, ParseScreenTransferFunction( step.args[size_t( i )] ) );
   }
   else if ( o == "--set" )
      TheInstance().SetParameter( step.args[0] );
   else if ( o == "--run" )
   {
      View& view = CurrentView();
      Instance& instance = TheInstance();
      std::string whyNot;
      if ( !instance.CanExecuteOn( view, whyNot ) )
         throw std::runtime_error( whyNot.empty() ? "the process cannot run on " + view.Id() : whyNot );
      const size_t from = m_host.GetConsole().Transcript().size();
      m_host.GetConsole().ClearAbortRequest();
      const bool done = instance.ExecuteOn( view );
      view.ImageChanged();
      if ( !done )
      {
         const std::string why = LastConsoleError( m_host.GetConsole().Transcript(), from );
         throw std::runtime_error( why.empty() ? "the process failed on " + view.Id() : why );
      }
   }
   else if ( o == "--command" )
   {
      const size_t from = m_host.GetConsole().Transcript().size();
      std::vector<const Instance*> shown;
      for ( const auto& p : m_host.Processes().Processes() )
         shown.push_back( p->InterfaceInstance() );
      if ( !m_host.Processes().RunCommandLine( step.args[0] ) )
      {
         const std::string why = LastConsoleError( m_host.GetConsole().Transcript(), from );
         throw std::runtime_error( why.empty() ? "the command failed" : why );
      }
      // No window to show: an interface that the command opened is told.
      for ( size_t i = 0; i < shown.size(); ++i )
      {
         const Process& p = *m_host.Processes().Processes()[i];
         if ( const Instance* instance = p.InterfaceInstance(); instance != nullptr && instance != shown[i] )
         {
            std::string values;
            for ( const Parameter& parameter : p.Parameters() )
               values += " " + parameter.id + "=" + instance->ParameterText( parameter.id );
            Say( "<end><cbr>The interface of " + p.Id() + " is open:" + values + "\n" );
         }
      }
   }
   else if ( o == "--save" )
   {
      View& view = CurrentView();
      const ImageWindow* window = m_host.Windows().FindWindow( view );
      const auto keywords = m_keywords.find( window ? window->MainView().Id() : view.Id() );
      WriteImageFile( step.args[0], view.Describe(),
                      keywords == m_keywords.end() ? std::vector<std::string>() : keywords->second, overwrite );
      Say( "<end><cbr>Saved " + view.Id() + " to " + step.args[0] + "\n" );
   }
   else if ( o == "--list" )
      Say( "<raw>" + DescribeModule( m_module, m_host ) + "</raw>" );
   else if ( o == "--window" )
   {
      if ( !TheWindow().Launch() )
         throw std::runtime_error( "the window did not open" );
      Say( "<raw>" + TheWindow().Print() + "</raw>" );
   }
   else if ( o == "--window-set" )
   {
      const std::string& assignment = step.args[0];
      const size_t equals = assignment.find( '=' );
      ControlElement* control = nullptr;
      try
      {
         control = m_host.GetControls().Find( std::stoi( assignment.substr( 0, equals ) ) );
      }
      catch ( const std::exception& )
      {
      }
      if ( equals == std::string::npos || control == nullptr )
         throw std::runtime_error( "no control numbered so; --window shows the numbers" );
      const std::string value = assignment.substr( equals + 1 );
      if ( control->kind == HOST_CONTROL_EDIT && control->precision >= 0 && !IsNumber( value ) )
         throw std::runtime_error( "not a number: " + value + "; the edit takes numbers only" );
      const size_t from = m_host.GetConsole().Transcript().size();
      if ( m_host.GetControls().SetValueAsUser( *control, value ) != 0 )
      {
         const std::string why = LastConsoleError( m_host.GetConsole().Transcript(), from );
         throw std::runtime_error( why.empty() ? "the window refused the change" : why );
      }
   }
   else if ( o == "--window-apply" )
   {
      const size_t from = m_host.GetConsole().Transcript().size();
      const size_t failed = m_host.Processes().FailedExecutions();
      TheWindow().Apply();
      const std::string why = LastConsoleError( m_host.GetConsole().Transcript(), from );
      if ( !why.empty() || m_host.Processes().FailedExecutions() != failed )
         throw std::runtime_error( why.empty() ? "the process failed" : why );
   }
}

} // host

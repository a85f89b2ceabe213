#include "host/registry/ProcessRegistry.h"

#include "host/registry/ModuleText.h"
#include "host/terminal/HostConsole.h"
#include "host/windows/HostView.h"
#include "platform/core/Utf16.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace host
{

namespace
{


std::string FormatReal( double x )
{
   char buffer[32];
   auto [end, error] = std::to_chars( buffer, buffer + sizeof( buffer ), x );
   return std::string( buffer, error == std::errc() ? end : buffer );
}

bool ParseReal( const std::string& s, double& x )
{
   const char* first = s.data();
   const char* last = s.data() + s.size();
   if ( first != last && *first == '+' )
      ++first;
   auto [end, error] = std::from_chars( first, last, x );
   return first != last && error == std::errc() && end == last && std::isfinite( x );
}

bool ParseIndex( const std::string& s, size_t& index )
{
   auto [end, error] = std::from_chars( s.data(), s.data() + s.size(), index );
   return !s.empty() && error == std::errc() && end == s.data() + s.size();
}

extern "C" void TakeText( void* context, const char16_t* text, size_t length )
{
   try
   {
      *static_cast<std::string*>( context ) = utf::ToUTF8( std::u16string_view( text, text ? length : 0 ) );
   }
   catch ( ... )
   {
   }
}

} // namespace

std::vector<std::string> CopyXPM( const char* const* xpm )
{
   if ( xpm == nullptr )
      return {};
   std::istringstream header( Text( xpm[0] ) );
   int width = 0, height = 0, colours = 0, charsPerPixel = 0;
   if ( !( header >> width >> height >> colours >> charsPerPixel ) || width <= 0 || height <= 0 || colours <= 0 ||
        charsPerPixel <= 0 || height > 4096 || colours > 65536 )
      throw std::runtime_error( "Invalid XPM icon header" );
   std::vector<std::string> lines;
   for ( int i = 0; i < 1 + colours + height; ++i )
   {
      if ( xpm[i] == nullptr )
         throw std::runtime_error( "Incomplete XPM icon" );
      lines.emplace_back( xpm[i] );
   }
   return lines;
}

Process::Process( const host_process_desc& desc, ProcessRegistry& registry )
   : m_registry( registry )
   , m_id( Text( desc.id ) )
   , m_category( Text( desc.category ) )
   , m_description( Text( desc.description ) )
   , m_version( desc.version )
   , m_icon( CopyXPM( desc.iconXPM ) )
   , m_canProcessCommandLines( desc.canProcessCommandLines != 0 )
   , m_module( desc.process )
   , m_callbacks( desc.callbacks )
{
   const module_process_callbacks* c = m_callbacks;
   if ( m_id.empty() )
      throw std::runtime_error( "A process needs an identifier" );
   if ( c == nullptr || !c->Create || !c->Clone || !c->Assign || !c->Destroy || !c->CanExecuteOn || !c->ExecuteOn ||
        !c->LockParameter || ( m_canProcessCommandLines && !c->ProcessCommandLine ) )
      throw std::runtime_error( "Incomplete process callbacks: " + m_id );
}

Process::~Process() = default;

const Parameter* Process::FindParameter( const std::string& id ) const noexcept
{
   for ( const Parameter& p : m_parameters )
      if ( p.id == id )
         return &p;
   return nullptr;
}

void Process::DeclareParameter( const host_parameter_desc& desc )
{
   Parameter p;
   p.id = Text( desc.id );
   p.type = desc.type;
   p.handle = desc.parameter;
   if ( p.id.empty() || FindParameter( p.id ) != nullptr )
      throw std::runtime_error( "Invalid or duplicate parameter identifier: " + m_id + "." + p.id );
   switch ( desc.type )
   {
   case HOST_PARAMETER_REAL:
      p.defaultReal = desc.defaultReal;
      p.hasRange = desc.hasRange != 0;
      p.minimum = desc.minimum;
      p.maximum = desc.maximum;
      if ( p.hasRange && !( p.minimum <= p.maximum ) )
         throw std::runtime_error( "Invalid range of parameter " + p.id );
      p.precision = desc.precision;
      p.scientific = desc.scientific != 0;
      break;
   case HOST_PARAMETER_BOOLEAN:
      p.defaultBoolean = desc.defaultBoolean != 0;
      break;
   case HOST_PARAMETER_ENUMERATION:
      if ( desc.elementCount == 0 || desc.elementIds == nullptr || desc.elementValues == nullptr ||
           desc.defaultIndex >= desc.elementCount )
         throw std::runtime_error( "Invalid elements of parameter " + p.id );
      for ( size_t i = 0; i < desc.elementCount; ++i )
      {
         p.elementIds.push_back( Text( desc.elementIds[i] ) );
         p.elementValues.push_back( desc.elementValues[i] );
      }
      p.defaultIndex = desc.defaultIndex;
      break;
   default:
      throw std::runtime_error( "Unknown type of parameter " + p.id + ": " + std::to_string( desc.type ) );
   }
   m_parameters.push_back( std::move( p ) );
}

std::unique_ptr<Instance> Process::Create() const
{
   module_instance_handle instance = m_callbacks->Create( m_module );
   if ( instance == nullptr )
      throw std::runtime_error( "The process could not create an instance: " + m_id );
   return Adopt( instance );
}

std::unique_ptr<Instance> Process::Adopt( module_instance_handle instance ) const
{
   std::unique_ptr<Instance> owned;
   try
   {
      owned = std::make_unique<Instance>( *this, instance );
   }
   catch ( ... )
   {
      m_callbacks->Destroy( instance );
      throw;
   }
   return owned;
}

bool Process::LaunchInterface( module_instance_handle instance )
{
   module_instance_handle copy = m_callbacks->Clone( m_module, instance );
   if ( copy == nullptr )
      return false;
   m_interfaceInstance = Adopt( copy );
   m_registry.Record( m_id + " interface" );
   return true;
}

bool Process::Execute( module_instance_handle instance, View& view ) const
{
   std::string whyNot;
   bool done = m_callbacks->CanExecuteOn( instance, view.Handle(), &TakeText, &whyNot ) != 0;
   if ( done )
   {
      m_registry.Record( m_id + " on " + view.Id() );
      done = m_callbacks->ExecuteOn( instance, view.Handle() ) == 0;
   }
   else if ( !whyNot.empty() )
      m_registry.ReportError( whyNot );
   if ( !done )
      m_registry.CountFailedExecution();
   return done;
}

bool Process::ProcessCommandLine( const std::vector<std::string>& arguments ) const
{
   if ( !m_canProcessCommandLines )
      throw std::runtime_error( "The process does not take command lines: " + m_id );
   std::vector<std::u16string> text;
   for ( const std::string& a : arguments )
      text.push_back( utf::FromUTF8( a ) );
   std::vector<const char16_t*> argv;
   for ( const std::u16string& t : text )
      argv.push_back( t.c_str() );
   int32_t result = 0;
   return m_callbacks->ProcessCommandLine( m_module, int32_t( argv.size() ), argv.data(), &result ) == 0 &&
          result == 0;
}

Instance::Instance( const Process& process, module_instance_handle handle ) noexcept
   : m_process( process )
   , m_handle( handle )
{
}

Instance::~Instance()
{
   m_process.Callbacks().Destroy( m_handle );
}

std::unique_ptr<Instance> Instance::Clone() const
{
   module_instance_handle copy = m_process.Callbacks().Clone( m_process.ModuleHandle(), m_handle );
   return copy != nullptr ? m_process.Adopt( copy ) : nullptr;
}

bool Instance::Assign( const Instance& source )
{
   return m_process.Callbacks().Assign( m_handle, source.m_handle ) == 0;
}

bool Instance::CanExecuteOn( View& view, std::string& whyNot ) const
{
   return m_process.Callbacks().CanExecuteOn( m_handle, view.Handle(), &TakeText, &whyNot ) != 0;
}

bool Instance::ExecuteOn( View& view )
{
   return m_process.Execute( m_handle, view );
}

const Parameter& Instance::Declared( const std::string& id ) const
{
   const Parameter* p = m_process.FindParameter( id );
   if ( p == nullptr )
      throw std::runtime_error( "Unknown parameter of process " + m_process.Id() + ": " + id );
   return *p;
}

void* Instance::Address( const Parameter& parameter, int type ) const
{
   if ( parameter.type != type )
      throw std::runtime_error( "Parameter " + parameter.id + " is not of the requested type" );
   void* address = m_process.Callbacks().LockParameter( m_handle, parameter.handle, 0 );
   if ( address == nullptr )
      throw std::runtime_error( "The instance holds no value for parameter " + parameter.id );
   return address;
}

void Instance::SetParameter( const std::string& id, const std::string& value )
{
   const Parameter& p = Declared( id );
   const std::string refused = "Invalid value for parameter " + id + ": " + value;
   switch ( p.type )
   {
   case HOST_PARAMETER_REAL:
   {
      double x = 0;
      if ( !ParseReal( value, x ) )
         throw std::runtime_error( refused );
      if ( p.hasRange && ( x < p.minimum || x > p.maximum ) )
         throw std::runtime_error( refused + " (outside " + FormatReal( p.minimum ) + " to " +
                                   FormatReal( p.maximum ) + ")" );
      std::memcpy( Address( p, HOST_PARAMETER_REAL ), &x, sizeof( x ) );
      break;
   }
   case HOST_PARAMETER_BOOLEAN:
   {
      int32_t b = 0;
      if ( value == "true" || value == "1" )
         b = 1;
      else if ( value != "false" && value != "0" )
         throw std::runtime_error( refused + " (true or false)" );
      std::memcpy( Address( p, HOST_PARAMETER_BOOLEAN ), &b, sizeof( b ) );
      break;
   }
   default:
   {
      size_t index = 0;
      while ( index < p.elementIds.size() && p.elementIds[index] != value )
         ++index;
      if ( index == p.elementIds.size() && ( !ParseIndex( value, index ) || index >= p.elementIds.size() ) )
         throw std::runtime_error( refused + " (neither an element nor an element index)" );
      const int32_t i = int32_t( index );
      std::memcpy( Address( p, HOST_PARAMETER_ENUMERATION ), &i, sizeof( i ) );
      break;
   }
   }
}

void Instance::SetParameter( const std::string& assignment )
{
   const size_t eq = assignment.find( '=' );
   if ( eq == std::string::npos )
      throw std::runtime_error( "Expected parameter=value: " + assignment );
   SetParameter( assignment.substr( 0, eq ), assignment.substr( eq + 1 ) );
}

double Instance::RealValue( const std::string& id ) const
{
   double x;
   std::memcpy( &x, Address( Declared( id ), HOST_PARAMETER_REAL ), sizeof( x ) );
   return x;
}

bool Instance::BooleanValue( const std::string& id ) const
{
   int32_t b;
   std::memcpy( &b, Address( Declared( id ), HOST_PARAMETER_BOOLEAN ), sizeof( b ) );
   return b != 0;
}

int32_t Instance::EnumerationIndex( const std::string& id ) const
{
   int32_t i;
   std::memcpy( &i, Address( Declared( id ), HOST_PARAMETER_ENUMERATION ), sizeof( i ) );
   return i;
}

std::string Instance::ParameterText( const std::string& id ) const
{
   const Parameter& p = Declared( id );
   switch ( p.type )
   {
   case HOST_PARAMETER_REAL:
      return FormatReal( RealValue( id ) );
   case HOST_PARAMETER_BOOLEAN:
      return BooleanValue( id ) ? "true" : "false";
   default:
   {
      const int32_t i = EnumerationIndex( id );
      return i >= 0 && size_t( i ) < p.elementIds.size() ? p.elementIds[i] : std::to_string( i );
   }
   }
}

Process& ProcessRegistry::Declare( const host_process_desc& desc )
{
   auto process = std::make_unique<Process>( desc, *this );
   if ( Find( process->Id() ) != nullptr )
      throw std::runtime_error( "Process already declared: " + process->Id() );
   m_processes.push_back( std::move( process ) );
   return *m_processes.back();
}

void ProcessRegistry::ReportError( const std::string& message )
{
   m_console.Write( utf::FromUTF8( "<end><cbr>\033[31m*** Error: " + message + "\033[39m<end><cbr>\n" ) );
}

Process* ProcessRegistry::Find( const std::string& id ) const noexcept
{
   for ( const auto& p : m_processes )
      if ( p->Id() == id )
         return p.get();
   return nullptr;
}

Process* ProcessRegistry::FromHandle( host_process_handle handle ) const noexcept
{
   for ( const auto& p : m_processes )
      if ( p.get() == handle )
         return p.get();
   return nullptr;
}

std::string ProcessRegistry::Listing() const
{
   std::ostringstream out;
   for ( const auto& process : m_processes )
   {
      out << process->Id() << " version 0x" << std::hex << process->Version() << std::dec;
      if ( !process->Category().empty() )
         out << " category " << process->Category();
      if ( process->CanProcessCommandLines() )
         out << " command-line";
      out << '\n';
      for ( const Parameter& p : process->Parameters() )
      {
         out << "  " << p.id;
         switch ( p.type )
         {
         case HOST_PARAMETER_REAL:
            out << " real default " << FormatReal( p.defaultReal );
            if ( p.hasRange )
               out << " range " << FormatReal( p.minimum ) << " to " << FormatReal( p.maximum );
            if ( p.precision >= 0 )
               out << " precision " << p.precision;
            break;
         case HOST_PARAMETER_BOOLEAN:
            out << " boolean default " << ( p.defaultBoolean ? "true" : "false" );
            break;
         default:
            out << " enumeration";
            for ( size_t i = 0; i < p.elementIds.size(); ++i )
               out << ( i == 0 ? " " : ", " ) << p.elementIds[i] << '=' << p.elementValues[i];
            out << " default " << p.elementIds[p.defaultIndex];
         }
         out << '\n';
      }
   }
   return out.str();
}

std::unique_ptr<Instance> ProcessRegistry::Create( const std::string& processId ) const
{
   const Process* p = Find( processId );
   if ( p == nullptr )
      throw std::runtime_error( "Unknown process: " + processId );
   return p->Create();
}

bool ProcessRegistry::RunCommandLine( const std::string& line ) const
{
   std::vector<std::string> words = SplitCommandLine( line );
   if ( words.empty() )
      throw std::runtime_error( "Empty command line" );
   const Process* p = Find( words.front() );
   if ( p == nullptr )
      throw std::runtime_error( "Unknown process: " + words.front() );
   words.erase( words.begin() );
   // The process does not look at what its launches return; the host does.
   const size_t failed = m_failedExecutions;
   return p->ProcessCommandLine( words ) && m_failedExecutions == failed;
}

std::vector<std::string> SplitCommandLine( const std::string& line )
{
   std::vector<std::string> words;
   std::string word;
   bool inWord = false;
   for ( size_t i = 0; i < line.size(); ++i )
   {
      const char c = line[i];
      if ( c == ' ' || c == '\t' || c == '\n' )
      {
         if ( inWord )
            words.push_back( std::exchange( word, {} ) );
         inWord = false;
         continue;
      }
      inWord = true;
      if ( c == '\\' && i + 1 < line.size() )
         word += line[++i];
      else if ( c == '\'' || c == '"' )
      {
         for ( ++i; i < line.size() && line[i] != c; ++i )
         {
            if ( c == '"' && line[i] == '\\' && i + 1 < line.size() && ( line[i + 1] == '"' || line[i + 1] == '\\' ) )
               ++i;
            word += line[i];
         }
         if ( i >= line.size() )
            throw std::runtime_error( "Unbalanced quote in command line" );
      }
      else
         word += c;
   }
   if ( inWord )
      words.push_back( word );
   return words;
}

} // host

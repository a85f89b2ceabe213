#include "host/registry/InterfaceRegistry.h"

#include "platform/core/Utf16.h"


#include <cstdio>
#include <stdexcept>

namespace host
{

namespace
{

void TakeText( void* context, const char16_t* text, size_t length )
{
   try
   {
      *static_cast<std::string*>( context ) = utf::ToUTF8( std::u16string_view( text, length ) );
   }
   catch ( ... )
   {
   }
}

void Succeeded( int32_t result, const std::string& what )
{
   if ( result != 0 )
      throw std::runtime_error( what );
}

} // namespace

Interface::Interface( const host_interface_desc& desc, Process& process, ControlElement& window,
                      const Controls& controls )
   : m_id( desc.id )
   , m_version( desc.version )
   , m_icon( CopyXPM( desc.iconXPM ) )
   , m_process( process )
   , m_canImportInstances( desc.canImportInstances != 0 )
   , m_isInstanceGenerator( desc.isInstanceGenerator != 0 )
   , m_requiresInstanceValidation( desc.requiresInstanceValidation != 0 )
   , m_object( desc.object )
   , m_callbacks( desc.callbacks )
   , m_window( window )
   , m_controls( controls )
{
}

bool Interface::Launch( const Process& process, const Instance* instance )
{
   return LaunchWith( process, instance != nullptr ? instance->Handle() : nullptr );
}

bool Interface::LaunchWith( const Process& process, module_instance_handle instance )
{
   int32_t dynamic = 0, launched = 0;
   uint32_t flags = 0;
   Succeeded( m_callbacks->Launch( m_object, process.ModuleHandle(), instance, &dynamic, &flags, &launched ),
              "The interface " + m_id + " failed to open" );
   return launched != 0;
}

std::unique_ptr<Instance> Interface::NewInstance()
{
   if ( !m_isInstanceGenerator )
      throw std::runtime_error( "The interface " + m_id + " makes no instances" );
   module_instance_handle instance = m_callbacks->NewProcess( m_object );
   if ( instance == nullptr )
      throw std::runtime_error( "The interface " + m_id + " failed to make an instance" );
   return m_process.Adopt( instance );
}

void Interface::Open( const Process& process, module_instance_handle instance )
{
   if ( !LaunchWith( process, instance ) )
      throw std::runtime_error( "The interface " + m_id + " does not take the process " + process.Id() );
   std::string whyNot;
   if ( !Import( instance, whyNot ) )
      throw std::runtime_error( whyNot.empty() ? "The interface " + m_id + " did not take the instance" : whyNot );
}

bool Interface::Import( module_instance_handle instance, std::string& whyNot )
{
   if ( !m_canImportInstances )
   {
      whyNot = "The interface " + m_id + " takes no instances";
      return false;
   }
   if ( m_requiresInstanceValidation && m_callbacks->ValidateProcess( m_object, instance, &TakeText, &whyNot ) == 0 )
      return false;
   int32_t imported = 0;
   Succeeded( m_callbacks->ImportProcess( m_object, instance, &imported ),
              "The interface " + m_id + " failed to import an instance" );
   return imported != 0;
}

void Interface::Reset()
{
   Succeeded( m_callbacks->ResetInstance( m_object ), "The interface " + m_id + " failed to reset" );
}

void Interface::Apply()
{
   Succeeded( m_callbacks->ApplyInstance( m_object ), "The interface " + m_id + " failed to apply its instance" );
}

std::string Interface::Print() const
{
   return m_controls.Print( m_window );
}

Interface& InterfaceRegistry::Declare( const host_interface_desc& desc, const ProcessRegistry& processes,
                                       Controls& controls )
{
   if ( desc.id == nullptr || *desc.id == '\0' || desc.callbacks == nullptr )
      throw std::runtime_error( "Invalid interface declaration" );
   if ( Find( desc.id ) != nullptr )
      throw std::runtime_error( std::string( "An interface with this identifier exists already: " ) + desc.id );
   Process* process = nullptr;
   for ( const auto& p : processes.Processes() )
      if ( desc.process != nullptr && p->ModuleHandle() == desc.process )
         process = p.get();
   if ( process == nullptr )
      throw std::runtime_error( std::string( "The interface's process has not been declared: " ) + desc.id );
   ControlElement& window = controls.Create( HOST_CONTROL_WINDOW );
   try
   {
      m_interfaces.push_back( std::make_unique<Interface>( desc, *process, window, controls ) );
   }
   catch ( ... )
   {
      controls.Destroy( &window );
      throw;
   }
   return *m_interfaces.back();
}

Interface* InterfaceRegistry::Find( const std::string& id ) const noexcept
{
   for ( const auto& i : m_interfaces )
      if ( i->Id() == id )
         return i.get();
   return nullptr;
}

Interface* InterfaceRegistry::ForProcess( const Process& process ) const noexcept
{
   for ( const auto& i : m_interfaces )
      if ( &i->GetProcess() == &process )
         return i.get();
   return nullptr;
}

std::string InterfaceRegistry::Listing() const
{
   std::string out;
   for ( const auto& i : m_interfaces )
   {
      char version[16];
      std::snprintf( version, sizeof( version ), "%x", unsigned( i->Version() ) );
      out += i->Id() + " interface of " + i->GetProcess().Id() + " version 0x" + version;
      if ( !i->IconXPM().empty() )
      {
         const std::string& header = i->IconXPM()[0]; // "width height colours charsPerPixel"
         out += " icon " + header.substr( 0, header.find_last_not_of( ' ' ) + 1 );
      }
      if ( i->CanImportInstances() )
         out += " imports";
      if ( i->IsInstanceGenerator() )
         out += " generates";
      if ( i->RequiresInstanceValidation() )
         out += " validates";
      out += '\n';
   }
   return out;
}

} // host

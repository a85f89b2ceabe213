#include "host/LoadedModule.h"

#include "host/Host.h"
#include "host/HostApi.h"
#include "host/registry/ModuleText.h"
#include "platform/core/Utf16.h"

#include <cstdio>
#include <stdexcept>

namespace host
{

namespace
{


} // namespace

LoadedModule::LoadedModule( const std::string& path ) : m_loader( path )
{
   if ( m_loader.Install() == nullptr || m_loader.Identify() == nullptr || m_loader.Initialize() == nullptr )
      throw std::runtime_error( "Not a module, it lacks an entry function: " + path );
}

int32_t LoadedModule::Install( int32_t mode )
{
   return m_loader.Install()( mode );
}

bool LoadedModule::Identify()
{
   if ( m_loader.Identify()( nullptr, HOST_IDENTIFY_BUILD ) != 0 )
      return false;
   void* handedOver = nullptr;
   const bool identified = m_loader.Identify()( &handedOver, HOST_IDENTIFY_GET ) == 0 && handedOver != nullptr;
   if ( identified )
   {
      const auto& d = *static_cast<const host_module_description*>( handedOver );
      m_description = { Text( d.uniqueId ), Text( d.version ),  Text( d.name ),       Text( d.description ),
                        Text( d.company ),  Text( d.author ),   Text( d.copyright ),  Text( d.tradeMarks ),
                        Text( d.fileName ), d.releaseYear,      d.releaseMonth,       d.releaseDay };
   }
   return m_loader.Identify()( nullptr, HOST_IDENTIFY_FREE ) == 0 && identified;
}

int32_t LoadedModule::Initialize( uint32_t apiVersion )
{
   return m_loader.Initialize()( nullptr, &ResolveHostFunction, apiVersion, nullptr );
}

void LoadedModule::Start()
{
   if ( Install( 0 ) != 0 )
      throw std::runtime_error( "The module could not be installed" );
   if ( !Identify() )
      throw std::runtime_error( "The module could not be identified" );
   if ( Initialize() != 0 )
      throw std::runtime_error( "The module could not be initialised" );
}

std::string DescribeModule( const ModuleDescription& d, Host& host )
{
   char date[16];
   std::snprintf( date, sizeof( date ), "%04d-%02d-%02d", d.releaseYear, d.releaseMonth, d.releaseDay );
   std::string out = "Module " + d.name + "\n";
   out += "  version " + d.version + "\n";
   out += "  description " + d.description + "\n";
   out += "  file " + d.fileName + "\n";
   out += "  released " + std::string( date ) + "\n";
   out += "  author " + d.author + "\n";
   out += "  copyright " + d.copyright + "\n";
   if ( !d.company.empty() )
      out += "  company " + d.company + "\n";
   if ( !d.tradeMarks.empty() )
      out += "  trademarks " + d.tradeMarks + "\n";
   out += host.Processes().Listing();
   out += host.Interfaces().Listing();
   return out;
}

} // host

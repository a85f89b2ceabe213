#include "platform/process/MetaProcess.h"

#include "platform/core/Exception.h"
#include "platform/boundary/HostBinding.h"
#include "platform/process/ProcessCallbacks.h"

namespace pcl
{

MetaProcess::MetaProcess() : MetaObject( Root() )
{
   if ( Root() == nullptr )
      throw Error( "MetaProcess: no module object to attach the process to." );
}

MetaProcess::~MetaProcess() = default;

void MetaProcess::PerformAPIDefinitions()
{
   const IsoString id = Id();
   const IsoString category = Category();
   const String description = Description();
   host_process_desc desc{};
   desc.id = id.c_str();
   desc.category = category.c_str();
   desc.version = Version();
   desc.description = description.c_str();
   desc.iconXPM = IconImageXPM();
   desc.canProcessCommandLines = CanProcessCommandLines() ? 1 : 0;
   desc.process = const_cast<MetaProcess*>( this );
   desc.callbacks = &ProcessCallbacks();
   host_process_handle handle = nullptr;
   if ( Host().ProcessDeclare( &desc, &handle ) != 0 )
      ThrowHostError( ( "Unable to declare the process " + id.Std() ).c_str() );
   m_hostHandle = handle;
   MetaObject::PerformAPIDefinitions();
}

int MetaProcess::ProcessCommandLine( const StringList& ) const
{
   throw Error( "The process does not take command lines: " + String( Id() ) );
}

} // pcl

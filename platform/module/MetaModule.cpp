#include "platform/module/MetaModule.h"

#include "platform/core/Exception.h"

namespace pcl
{

MetaModule* Module = nullptr;

MetaModule::MetaModule() : MetaObject( nullptr )
{
   if ( Module != nullptr )
      throw Error( "MetaModule: Module redefinition not allowed" );
   Module = this;
}

MetaModule::~MetaModule()
{
   Module = nullptr;
}

void MetaModule::GetReleaseDate( int& year, int& month, int& day ) const
{
   year = month = day = 0;
}

} // pcl

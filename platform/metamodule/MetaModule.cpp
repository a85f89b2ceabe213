#include "platform/metamodule/MetaModule.h"

namespace pcl
{

MetaModule* Module = nullptr;

// The tree refuses a second root, so Module is set once.
MetaModule::MetaModule() : MetaObject( AsRoot{} )
{
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

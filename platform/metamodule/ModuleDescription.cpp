#include "platform/metamodule/ModuleDescription.h"

#include "platform/metamodule/MetaModule.h"

namespace pcl
{

ModuleDescription::ModuleDescription( const MetaModule& module )
   : m_uniqueId( module.UniqueId() )
   , m_name( module.Name() )
   , m_description( module.Description() )
   , m_company( module.Company() )
   , m_author( module.Author() )
   , m_copyright( module.Copyright() )
   , m_tradeMarks( module.TradeMarks() )
   , m_fileName( module.OriginalFileName() )
{
   m_desc.uniqueId = m_uniqueId.c_str();
   m_desc.version = module.Version(); // static: handed over as it is
   m_desc.name = m_name.c_str();
   m_desc.description = m_description.c_str();
   m_desc.company = m_company.c_str();
   m_desc.author = m_author.c_str();
   m_desc.copyright = m_copyright.c_str();
   m_desc.tradeMarks = m_tradeMarks.c_str();
   m_desc.fileName = m_fileName.c_str();
   int year = 0, month = 0, day = 0;
   module.GetReleaseDate( year, month, day );
   m_desc.releaseYear = year;
   m_desc.releaseMonth = month;
   m_desc.releaseDay = day;
}

} // pcl

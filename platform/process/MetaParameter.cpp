#include "platform/process/MetaParameter.h"

#include "platform/core/Exception.h"
#include "platform/boundary/HostBinding.h"
#include "platform/process/MetaProcess.h"

#include <limits>
#include <vector>

namespace pcl
{

MetaParameter::MetaParameter( MetaProcess* process ) : MetaObject( process ), m_process( process )
{
}

void MetaParameter::Declare( host_parameter_desc& desc )
{
   if ( m_process == nullptr || m_process->HostHandle() == nullptr )
      throw Error( "The parameter's process has not been declared: " + String( Id() ) );
   const IsoString id = Id();
   desc.id = id.c_str();
   desc.parameter = this;
   if ( Host().ProcessDeclareParameter( m_process->HostHandle(), &desc ) != 0 )
      ThrowHostError( ( "Unable to declare the parameter " + id.Std() ).c_str() );
}

void MetaBoolean::PerformAPIDefinitions()
{
   host_parameter_desc desc{};
   desc.type = HOST_PARAMETER_BOOLEAN;
   desc.defaultBoolean = DefaultValue() ? 1 : 0;
   Declare( desc );
}

double MetaNumeric::MinimumValue() const
{
   return std::numeric_limits<double>::lowest();
}

double MetaNumeric::MaximumValue() const
{
   return std::numeric_limits<double>::max();
}

void MetaDouble::PerformAPIDefinitions()
{
   host_parameter_desc desc{};
   desc.type = HOST_PARAMETER_REAL;
   desc.defaultReal = DefaultValue();
   const double minimum = MinimumValue(), maximum = MaximumValue();
   // A range only when a class sets one, and only a sound one.
   if ( ( minimum != MetaNumeric::MinimumValue() || maximum != MetaNumeric::MaximumValue() ) && maximum >= minimum )
   {
      desc.hasRange = 1;
      desc.minimum = minimum;
      desc.maximum = maximum;
   }
   desc.precision = Precision();
   desc.scientific = ScientificNotation() ? 1 : 0;
   Declare( desc );
}

void MetaEnumeration::PerformAPIDefinitions()
{
   // The element ids and values outlive the declaration call.
   const size_t count = NumberOfElements();
   std::vector<IsoString> ids;
   std::vector<const char*> idPointers;
   std::vector<int32_t> values;
   for ( size_t i = 0; i < count; ++i )
   {
      ids.push_back( ElementId( i ) );
      values.push_back( ElementValue( i ) );
   }
   for ( const IsoString& id : ids )
      idPointers.push_back( id.c_str() );
   host_parameter_desc desc{};
   desc.type = HOST_PARAMETER_ENUMERATION;
   desc.elementCount = count;
   desc.elementIds = idPointers.data();
   desc.elementValues = values.data();
   desc.defaultIndex = DefaultValueIndex();
   Declare( desc );
}

} // pcl

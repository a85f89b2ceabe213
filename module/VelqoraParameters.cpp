#include "module/VelqoraParameters.h"

namespace pcl
{

VelqoraLinear* TheLinearParameter = nullptr;
VelqoraModelVersion* TheModelVersionParameter = nullptr;
VelqoraAmount* TheAmountParameter = nullptr;
VelqoraShadowsClipping* TheShadowsClippingParameter = nullptr;
VelqoraTargetBackground* TheTargetBackgroundParameter = nullptr;

VelqoraLinear::VelqoraLinear( MetaProcess* process ) : MetaBoolean( process )
{
   TheLinearParameter = this;
}

IsoString VelqoraLinear::Id() const
{
   return "linear";
}

bool VelqoraLinear::DefaultValue() const
{
   return true;
}

VelqoraModelVersion::VelqoraModelVersion( MetaProcess* process ) : MetaEnumeration( process )
{
   TheModelVersionParameter = this;
}

IsoString VelqoraModelVersion::Id() const
{
   return "model";
}

size_t VelqoraModelVersion::NumberOfElements() const
{
   return 2;
}

IsoString VelqoraModelVersion::ElementId( size_t index ) const
{
   return index == 0 ? "v2" : "v1";
}

int VelqoraModelVersion::ElementValue( size_t index ) const
{
   return int( index );
}

size_t VelqoraModelVersion::DefaultValueIndex() const
{
   return 0;
}

VelqoraAmount::VelqoraAmount( MetaProcess* process ) : MetaDouble( process )
{
   TheAmountParameter = this;
}

IsoString VelqoraAmount::Id() const
{
   return "amount";
}

double VelqoraAmount::DefaultValue() const
{
   return 1.0;
}

double VelqoraAmount::MinimumValue() const
{
   return 0.0;
}

double VelqoraAmount::MaximumValue() const
{
   return 1.0;
}

VelqoraShadowsClipping::VelqoraShadowsClipping( MetaProcess* process ) : MetaDouble( process )
{
   TheShadowsClippingParameter = this;
}

IsoString VelqoraShadowsClipping::Id() const
{
   return "shadows_clipping";
}

double VelqoraShadowsClipping::DefaultValue() const
{
   return -2.8;
}

int VelqoraShadowsClipping::Precision() const
{
   return 2;
}

VelqoraTargetBackground::VelqoraTargetBackground( MetaProcess* process ) : MetaDouble( process )
{
   TheTargetBackgroundParameter = this;
}

IsoString VelqoraTargetBackground::Id() const
{
   return "target_background";
}

double VelqoraTargetBackground::DefaultValue() const
{
   return 0.25;
}

int VelqoraTargetBackground::Precision() const
{
   return 2;
}

} // pcl

#ifndef VELQORA_PARAMETERS_H
#define VELQORA_PARAMETERS_H

#include "platform/process/MetaParameter.h"

namespace pcl
{

// The process's five parameters, made once by the process constructor. Each
// sets its global pointer, by which instances tell them apart.

class VelqoraLinear : public MetaBoolean
{
public:
   explicit VelqoraLinear( MetaProcess* process );
   IsoString Id() const override;
   bool DefaultValue() const override;
};
extern VelqoraLinear* TheLinearParameter;

class VelqoraModelVersion : public MetaEnumeration
{
public:
   explicit VelqoraModelVersion( MetaProcess* process );
   IsoString Id() const override;
   size_t NumberOfElements() const override;
   IsoString ElementId( size_t index ) const override;
   int ElementValue( size_t index ) const override;
   size_t DefaultValueIndex() const override;
};
extern VelqoraModelVersion* TheModelVersionParameter;

class VelqoraAmount : public MetaDouble
{
public:
   explicit VelqoraAmount( MetaProcess* process );
   IsoString Id() const override;
   double DefaultValue() const override;
   double MinimumValue() const override;
   double MaximumValue() const override;
};
extern VelqoraAmount* TheAmountParameter;

class VelqoraShadowsClipping : public MetaDouble
{
public:
   explicit VelqoraShadowsClipping( MetaProcess* process );
   IsoString Id() const override;
   double DefaultValue() const override;
   int Precision() const override;
};
extern VelqoraShadowsClipping* TheShadowsClippingParameter;

class VelqoraTargetBackground : public MetaDouble
{
public:
   explicit VelqoraTargetBackground( MetaProcess* process );
   IsoString Id() const override;
   double DefaultValue() const override;
   int Precision() const override;
};
extern VelqoraTargetBackground* TheTargetBackgroundParameter;

} // pcl

#endif

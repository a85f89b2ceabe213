#ifndef PCL_META_PARAMETER_H
#define PCL_META_PARAMETER_H

#include "platform/core/String.h"
#include "platform/boundary/HostInterface.h"
#include "platform/process/MetaObject.h"

#include <cstddef>
#include <cstdint>

namespace pcl
{

class MetaProcess;

// A parameter of a process, attached to the process. It describes the
// parameter to the host; the values live in the process instances.
class MetaParameter : public MetaObject
{
public:
   explicit MetaParameter( MetaProcess* process );

   virtual IsoString Id() const = 0;

   MetaProcess* Process() const noexcept { return m_process; }

protected:
   // Declares the parameter to the host under its process, with the type and
   // metadata of its kind in `desc` (id and handle are filled here).
   void Declare( host_parameter_desc& desc );

private:
   MetaProcess* m_process;
};

// A boolean parameter, stored as pcl_bool.
class MetaBoolean : public MetaParameter
{
public:
   using MetaParameter::MetaParameter;

   virtual bool DefaultValue() const { return false; }

   void PerformAPIDefinitions() override;
};

// A numeric parameter with an optional range.
class MetaNumeric : public MetaParameter
{
public:
   using MetaParameter::MetaParameter;

   virtual double DefaultValue() const { return 0; }
   // Without an override, the whole finite range: no range is declared.
   virtual double MinimumValue() const;
   virtual double MaximumValue() const;
};

// A real parameter shown with a number of decimal digits.
class MetaReal : public MetaNumeric
{
public:
   using MetaNumeric::MetaNumeric;

   // Decimal digits; -1 when not set.
   virtual int Precision() const { return -1; }
   virtual bool ScientificNotation() const { return false; }
};

// A 64-bit real parameter.
class MetaDouble : public MetaReal
{
public:
   using MetaReal::MetaReal;

   void PerformAPIDefinitions() override;
};

// A parameter that takes one of a list of elements, stored as the 32-bit
// index of the element.
class MetaEnumeration : public MetaParameter
{
public:
   using MetaParameter::MetaParameter;

   virtual size_t NumberOfElements() const = 0;
   virtual IsoString ElementId( size_t index ) const = 0;
   virtual int ElementValue( size_t index ) const = 0;
   virtual size_t DefaultValueIndex() const { return 0; }

   void PerformAPIDefinitions() override;
};

} // pcl

#endif

#ifndef VELQORA_TESTS_HOST_FIXTURE_H
#define VELQORA_TESTS_HOST_FIXTURE_H

#include "host/Host.h"
#include "host/HostApi.h"
#include "platform/image/ColorSpace.h"
#include "platform/boundary/HostBinding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

// A host stand-in in the test's own process, bound to the platform layer as
// the module binds it at initialisation. Console output is captured.
class HostTest : public ::testing::Test
{
protected:
   void SetUp() override { pcl::BindHost( &host::ResolveHostFunction ); }
   void TearDown() override { pcl::UnbindHost(); }

   host::Console& HostConsole() { return m_host.GetConsole(); }
   std::vector<std::string> ConsoleLines() { return m_host.GetConsole().Lines(); }
   std::string ConsoleText() { return m_host.GetConsole().Transcript(); }

   // A new view whose samples are a smooth pattern around 0.5 of the given
   // amplitude (beyond [0, 1] only floating-point samples keep it), with the
   // given screen transfer function on every channel.
   template <class P>
   host::View& PatternView( int width, int height, int colorSpace, const std::optional<host_stf>& stf = {},
                            double amplitude = 0.45 )
   {
      const int channels = colorSpace == pcl::ColorSpace::Gray ? 1 : 3;
      host::View& v = m_host.Windows().CreateView( "view" + std::to_string( ++m_views ), width, height, channels, colorSpace,
                                         P::BitsPerSample(), P::IsFloatSample() );
      for ( int c = 0; c < channels; ++c )
      {
         auto* s = v.Samples<typename P::sample>( c );
         for ( int y = 0; y < height; ++y )
            for ( int x = 0; x < width; ++x )
               s[size_t( y ) * width + x] = P::ToSample(
                  0.5 + amplitude * std::sin( 0.013 * x + 0.021 * y + c ) * std::cos( 0.007 * x * ( c + 1 ) ) );
         if ( stf )
            v.SetScreenTransferFunction( c, *stf );
      }
      return v;
   }

   host::Host m_host;
   int m_views = 0;
};

#endif

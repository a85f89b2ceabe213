#ifndef VELQORA_TESTS_HOST_FIXTURE_H
#define VELQORA_TESTS_HOST_FIXTURE_H

#include "host/Host.h"
#include "platform/module/Host.h"

#include <gtest/gtest.h>

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

   host::Host m_host;
};

#endif

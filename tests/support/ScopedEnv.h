#pragma once
// Sets or removes one environment variable for a test and puts the old value back afterwards;
// a change of TZ takes effect at once.

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

class ScopedEnv
{
public:
    ScopedEnv(const char* name, const char* value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        Set(value);
    }
    ~ScopedEnv() { Set(m_old ? m_old->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void Set(const char* value)
    {
        if (value)
            setenv(m_name.c_str(), value, 1);
        else
            unsetenv(m_name.c_str());
        tzset();
    }

    std::string m_name;
    std::optional<std::string> m_old;
};

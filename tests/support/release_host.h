#pragma once
// Scripting the local release host (tests/fixtures/release_host.py) and
// reading what went over the wire.
#include <string>
#include <vector>

// A path on the host that belongs to this run of the running test:
// /t/<Suite.Test>-<process id>/<name>.
std::string test_path(const std::string& name);

// https://localhost + path
std::string host_url(const std::string& path);

// Serves bytes at path; sidecar_json scripts how (see release_host.py), empty
// for a plain answer with Content-Length.
void serve(const std::string& path, const std::string& bytes, const std::string& sidecar_json = "");
void unserve(const std::string& path);

// Lets a body go on whose sidecar holds it "hold_until" a file of that name:
// creates the file at path.
void release_held_body(const std::string& path);
// The file the host serves for path, as a Windows path.
std::wstring served_file(const std::string& path);

struct host_request {
    std::string method, path, user_agent, accept, host;
    bool has_body = false;
    bool tls = false;
    int port = 0;
    int index = 0;
};

// Every request the host has logged for path, in order.
std::vector<host_request> requests_to(const std::string& path);

// Test bytes that are easy to tell apart: byte i is (i * 7 + seed) mod 251.
std::string patterned_bytes(std::size_t size, unsigned seed = 0);

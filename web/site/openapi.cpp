#include "web/site/openapi.h"

#include <string>

namespace varnock::web {
namespace {

// clang-format off
// The filters of /api/v1/devices, taken by its CSV too: written once, put in
// where the document names "@filters@".
constexpr std::string_view kFiltersMark = R"json("@filters@")json";
constexpr std::string_view kFilterParameters = R"json([
          {"$ref": "#/components/parameters/q"},
          {"$ref": "#/components/parameters/state"},
          {"$ref": "#/components/parameters/new_since"},
          {"$ref": "#/components/parameters/random"},
          {"$ref": "#/components/parameters/unnamed"},
          {"$ref": "#/components/parameters/sort"},
          {"$ref": "#/components/parameters/order"}
        ])json";

constexpr std::string_view kDocument = R"json({
  "openapi": "3.0.3",
  "info": {
    "title": "varnock-web",
    "description": "The devices a Varnock watch has seen on its segments, read-only. Times are RFC 3339 in UTC (2026-12-07T14:00:00Z).",
    "version": "1"
  },
  "paths": {
    "/api/v1/devices": {
      "get": {
        "summary": "The devices the filters show, with the records and the counts",
        "parameters": "@filters@",
        "responses": {
          "200": {"description": "The devices", "headers": {"ETag": {"schema": {"type": "string"}}},
                  "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Devices"}}}},
          "304": {"description": "Unchanged since the ETag given in If-None-Match"},
          "400": {"$ref": "#/components/responses/BadParameter"}
        }
      }
    },
    "/api/v1/devices.csv": {
      "get": {
        "summary": "The same devices as CSV (RFC 4180); a field a spreadsheet would take for a formula starts with a single quote",
        "parameters": "@filters@",
        "responses": {
          "200": {"description": "hardware_address,name,note,vendor,locally_administered,interface,addresses,first_seen,last_seen,state,record",
                  "content": {"text/csv": {"schema": {"type": "string"}}}},
          "400": {"$ref": "#/components/responses/BadParameter"}
        }
      }
    },
    "/api/v1/devices/{interface}/{hardware_address}": {
      "get": {
        "summary": "One device with its history from the watches' logs",
        "parameters": [
          {"name": "interface", "in": "path", "required": true, "schema": {"type": "string"}},
          {"name": "hardware_address", "in": "path", "required": true, "schema": {"type": "string", "example": "02:1A:2B:3C:4D:5E"}}
        ],
        "responses": {
          "200": {"description": "The device", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/DeviceWithHistory"}}}},
          "404": {"$ref": "#/components/responses/NotFound"}
        }
      }
    },
    "/api/v1/events": {
      "get": {
        "summary": "The events of the watches' logs after a time, oldest first",
        "parameters": [
          {"name": "since", "in": "query", "schema": {"type": "string", "format": "date-time"}}
        ],
        "responses": {
          "200": {"description": "The events", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Events"}}}},
          "400": {"$ref": "#/components/responses/BadParameter"}
        }
      }
    },
    "/api/v1/records": {
      "get": {
        "summary": "Each record and log read, whether it could be read and why not",
        "responses": {
          "200": {"description": "The records", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Records"}}}}
        }
      }
    },
    "/api/v1/openapi.json": {
      "get": {
        "summary": "This description",
        "responses": {"200": {"description": "OpenAPI 3.0", "content": {"application/json": {"schema": {"type": "object"}}}}}
      }
    }
  },
  "components": {
    "parameters": {
      "q": {"name": "q", "in": "query", "description": "Text in the hardware address, name, note, vendor, interface or an address (any case)", "schema": {"type": "string"}},
      "state": {"name": "state", "in": "query", "schema": {"type": "string", "enum": ["up", "stopped"]}},
      "new_since": {"name": "new_since", "in": "query", "description": "First seen at or after this time (UTC)", "schema": {"type": "string", "format": "date-time"}},
      "random": {"name": "random", "in": "query", "description": "1: locally administered (random) addresses only", "schema": {"type": "string", "enum": ["0", "1"]}},
      "unnamed": {"name": "unnamed", "in": "query", "description": "1: devices without a name only", "schema": {"type": "string", "enum": ["0", "1"]}},
      "sort": {"name": "sort", "in": "query", "schema": {"type": "string", "enum": ["hardware_address", "name", "vendor", "interface", "addresses", "first_seen", "last_seen", "state"]}},
      "order": {"name": "order", "in": "query", "schema": {"type": "string", "enum": ["asc", "desc"]}}
    },
    "responses": {
      "BadParameter": {"description": "A parameter's value cannot be used; the message names it",
                       "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Error"}}}},
      "NotFound": {"description": "No such device or path",
                   "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Error"}}}}
    },
    "schemas": {
      "Error": {"type": "object", "required": ["error"], "properties": {"error": {"type": "string"}}},
      "Address": {
        "type": "object",
        "required": ["address", "family", "answering", "first_seen", "last_seen"],
        "properties": {
          "address": {"type": "string"},
          "family": {"type": "string", "enum": ["ipv4", "ipv6"]},
          "answering": {"type": "boolean"},
          "first_seen": {"type": "string", "format": "date-time"},
          "last_seen": {"type": "string", "format": "date-time"}
        }
      },
      "Device": {
        "type": "object",
        "required": ["interface", "hardware_address", "name", "note", "known", "vendor", "locally_administered", "addresses", "first_seen", "last_seen", "state", "record"],
        "properties": {
          "interface": {"type": "string"},
          "hardware_address": {"type": "string", "example": "02:1A:2B:3C:4D:5E"},
          "name": {"type": "string", "nullable": true},
          "note": {"type": "string", "nullable": true},
          "known": {"type": "boolean", "description": "Whether a names file names it"},
          "vendor": {"type": "string", "nullable": true},
          "locally_administered": {"type": "boolean"},
          "addresses": {"type": "array", "items": {"$ref": "#/components/schemas/Address"}},
          "first_seen": {"type": "string", "format": "date-time"},
          "last_seen": {"type": "string", "format": "date-time"},
          "state": {"type": "string", "enum": ["up", "stopped"]},
          "record": {"type": "string", "description": "The record it was read from"}
        }
      },
      "Event": {
        "type": "object",
        "description": "An event as the watch wrote it to its --log",
        "required": ["type", "time", "interface", "hardware_address"],
        "properties": {
          "type": {"type": "string", "enum": ["new", "changed", "stopped", "back", "many", "burst"]},
          "time": {"type": "string", "format": "date-time"},
          "interface": {"type": "string"},
          "hardware_address": {"type": "string"}
        },
        "additionalProperties": true
      },
      "DeviceWithHistory": {
        "allOf": [
          {"$ref": "#/components/schemas/Device"},
          {"type": "object", "required": ["history"], "properties": {"history": {"type": "array", "items": {"$ref": "#/components/schemas/Event"}}}}
        ]
      },
      "Record": {
        "type": "object",
        "required": ["path", "interface", "readable", "state", "problem", "saved", "neighbours"],
        "properties": {
          "path": {"type": "string"},
          "interface": {"type": "string", "nullable": true, "description": "The one interface all its neighbours are on"},
          "readable": {"type": "boolean"},
          "state": {"type": "string", "enum": ["readable", "missing", "unreadable", "damaged"]},
          "problem": {"type": "string", "nullable": true},
          "saved": {"type": "string", "format": "date-time", "nullable": true},
          "neighbours": {"type": "integer"}
        }
      },
      "Log": {
        "type": "object",
        "required": ["path", "readable", "problem", "events", "bad_lines"],
        "properties": {
          "path": {"type": "string"},
          "readable": {"type": "boolean"},
          "problem": {"type": "string", "nullable": true},
          "events": {"type": "integer"},
          "bad_lines": {"type": "integer", "description": "Lines that are no event, skipped"}
        }
      },
      "Counts": {
        "type": "object",
        "required": ["total", "up", "stopped", "new", "new_since", "random", "unnamed", "shown"],
        "properties": {
          "total": {"type": "integer"},
          "up": {"type": "integer"},
          "stopped": {"type": "integer"},
          "new": {"type": "integer", "description": "First seen at or after new_since"},
          "new_since": {"type": "string", "format": "date-time", "description": "The filter's new_since, or a day before generated"},
          "random": {"type": "integer"},
          "unnamed": {"type": "integer"},
          "shown": {"type": "integer", "description": "How many the filters show"}
        }
      },
      "Devices": {
        "type": "object",
        "required": ["generated", "records", "counts", "devices"],
        "properties": {
          "generated": {"type": "string", "format": "date-time", "description": "When the records were read"},
          "records": {"type": "array", "items": {"$ref": "#/components/schemas/Record"}},
          "counts": {"$ref": "#/components/schemas/Counts"},
          "devices": {"type": "array", "items": {"$ref": "#/components/schemas/Device"}}
        }
      },
      "Events": {
        "type": "object",
        "required": ["generated", "since", "events"],
        "properties": {
          "generated": {"type": "string", "format": "date-time"},
          "since": {"type": "string", "format": "date-time", "nullable": true},
          "events": {"type": "array", "items": {"$ref": "#/components/schemas/Event"}}
        }
      },
      "Records": {
        "type": "object",
        "required": ["generated", "records", "logs"],
        "properties": {
          "generated": {"type": "string", "format": "date-time"},
          "records": {"type": "array", "items": {"$ref": "#/components/schemas/Record"}},
          "logs": {"type": "array", "items": {"$ref": "#/components/schemas/Log"}}
        }
      }
    }
  }
}
)json";
// clang-format on

}  // namespace

std::string_view OpenApiDocument() {
    static const std::string document = [] {
        std::string text(kDocument);
        for (auto at = text.find(kFiltersMark); at != std::string::npos;
             at = text.find(kFiltersMark, at + kFilterParameters.size())) {
            text.replace(at, kFiltersMark.size(), kFilterParameters);
        }
        return text;
    }();
    return document;
}

}  // namespace varnock::web

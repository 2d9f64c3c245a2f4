"""The version record the program file carries, as both resource checkers expect it."""

VERSION_STRINGS = [
    ("Comments", "A Tool for Harvesting Remote Machine's MAC Address"),
    ("CompanyName", "www.orbelund.example"),
    ("FileDescription", "A Tool for Harvesting Remote Machine's MAC Address"),
    ("LegalCopyright", "www.orbelund.example"),
    ("ProductName", "Varnock"),
    ("FileVersion", "1.00"),
    ("ProductVersion", "1.00"),
    ("InternalName", "Varnock"),
    ("OriginalFilename", "Varnock.exe"),
]

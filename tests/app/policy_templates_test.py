#!/usr/bin/env python3
"""The Group Policy templates as the Group Policy editor reads them.

    policy_templates_test.py POLICY_FOLDER

Both files must be well-formed XML in the policy definitions namespace, and
every name the .admx file takes from its .adml file must be there: the
strings ($(string.ID)) and the presentations ($(presentation.ID)), each of
whose boxes must stand for an element of its policy, and each element of a
policy must have a box (else the editor would offer no way to set it). The
values the templates write are checked against the ones the program reads by
the unit test policy_template.names_the_key_and_values_the_program_reads.
"""
import os
import re
import sys
import xml.etree.ElementTree as ET

NS = "{http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions}"
failures = []


def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def parse(path):
    try:
        return ET.parse(path).getroot()
    except (ET.ParseError, OSError) as error:
        check(f"{os.path.basename(path)} is well-formed XML ({error})", False)
        sys.exit(1)


def main():
    folder = sys.argv[1]
    admx = parse(os.path.join(folder, "quillary.admx"))
    adml = parse(os.path.join(folder, "en-US", "quillary.adml"))
    check("quillary.admx is well-formed policy definitions", admx.tag == NS + "policyDefinitions")
    check("en-US/quillary.adml is well-formed policy definition resources",
          adml.tag == NS + "policyDefinitionResources")
    check("both carry the same revision", admx.get("revision") == adml.get("revision"))
    resources = admx.find(NS + "resources")
    check("the .admx asks for no newer .adml than it comes with",
          resources is not None and resources.get("minRequiredRevision") == adml.get("revision"))

    strings = {s.get("id"): (s.text or "") for s in adml.iter(NS + "string")}
    presentations = {p.get("id"): p for p in adml.iter(NS + "presentation")}
    references = set()
    for element in admx.iter():
        for value in element.attrib.values():
            references.update(re.findall(r"\$\((string|presentation)\.([^)]*)\)", value))
    missing = sorted(f"{kind}.{name}" for kind, name in references
                     if name not in (strings if kind == "string" else presentations))
    check("every string and presentation the .admx names is in the .adml" +
          (f" (missing: {', '.join(missing)})" if missing else ""), not missing)
    check("no string is empty", all(text.strip() for text in strings.values()))

    categories = {c.get("name") for c in admx.iter(NS + "category")}
    parents = [p.get("ref") for p in admx.iter(NS + "parentCategory")]
    check("every parent category is defined here", all(ref in categories for ref in parents))

    policies = list(admx.iter(NS + "policy"))
    check("the .admx defines policies", bool(policies))
    for policy in policies:
        name = policy.get("name")
        found = policy.find(NS + "elements")
        elements = {e.get("id") for e in (found if found is not None else [])}
        presentation = re.fullmatch(r"\$\(presentation\.([^)]*)\)", policy.get("presentation", ""))
        boxes = set()
        if presentation and presentation.group(1) in presentations:
            boxes = {box.get("refId") for box in presentations[presentation.group(1)]}
        check(f"{name}: a box for each of its elements and no other", boxes == elements)
        check(f"{name}: writes below SOFTWARE\\Policies",
              policy.get("key", "").startswith("SOFTWARE\\Policies\\"))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

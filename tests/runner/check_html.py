#!/usr/bin/env python3
"""Exits 0 when the file is well-formed HTML5 as a report must be: a doctype, every element that is
not void closed in order, no stray end tags, no script and no outside resource."""
import sys
from html.parser import HTMLParser

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}


class Checker(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack, self.errors, self.doctype = [], [], False

    def handle_decl(self, decl):
        self.doctype = self.doctype or decl.lower() == "doctype html"

    def handle_starttag(self, tag, attrs):
        if tag == "script" or any(name in ("src", "href") and value and not value.startswith("#") for name, value in attrs):
            self.errors.append(f"outside resource or script at {self.getpos()}: <{tag}>")
        if tag not in VOID:
            self.stack.append(tag)

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID:
            self.stack.pop()

    def handle_endtag(self, tag):
        if not self.stack or self.stack[-1] != tag:
            self.errors.append(f"</{tag}> at {self.getpos()} closes {self.stack[-1] if self.stack else 'nothing'}")
        else:
            self.stack.pop()


checker = Checker()
with open(sys.argv[1], encoding="utf-8") as page:
    checker.feed(page.read())
checker.close()
if not checker.doctype:
    checker.errors.append("no <!DOCTYPE html>")
if checker.stack:
    checker.errors.append("unclosed: " + " ".join(checker.stack))
for error in checker.errors:
    print(error)
sys.exit(1 if checker.errors else 0)

"""Shared fixtures: the en-US locale, a scratch folder with the Orders
sample database, the data engine, and a message box that records prompts."""
import os

import pytest

import tarnwick

DBENGINE = "{00000010-0000-0010-8000-00AA006D2EA4}"


@pytest.fixture(autouse=True)
def en_us():
    tarnwick.set_process_locale("en-US")
    yield
    tarnwick.set_process_locale("en-US")


@pytest.fixture
def prompts():
    shown = []

    def box(prompt, buttons, title):
        shown.append((prompt, buttons))
        return 1

    tarnwick.set_message_box(box)
    yield shown
    tarnwick.set_message_box(None)


@pytest.fixture
def database(tmp_path):
    path = os.path.join(tmp_path, "orders.db")
    tarnwick.create_sample_database(path, 20)
    engine = tarnwick.CreateObject(DBENGINE)
    db = engine.OpenDatabase(path)
    yield db
    db.Close()

<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>MainWidget</name>
    <message>
        <source>Trovanti</source>
        <translation>Trovanti</translation>
    </message>
    <message>
        <source>&lt;font&gt;Welcome To Trovanti!&lt;br&gt;Now You Can Send Files Across Any Platform.&lt;/font&gt;</source>
        <translation>&lt;font&gt;Trovantiへようこそ！&lt;br&gt;あらゆるプラットフォームにファイルを送れるようになりました。&lt;/font&gt;</translation>
    </message>
</context>
</TS>

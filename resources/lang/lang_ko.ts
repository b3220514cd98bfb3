<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko_KR">
<context>
    <name>MainWidget</name>
    <message>
        <source>Trovanti</source>
        <translation>Trovanti</translation>
    </message>
    <message>
        <source>&lt;font&gt;Welcome To Trovanti!&lt;br&gt;Now You Can Send Files Across Any Platform.&lt;/font&gt;</source>
        <translation>&lt;font&gt;Trovanti에 오신 것을 환영합니다!&lt;br&gt;이제 어떤 플랫폼으로든 파일을 보낼 수 있습니다.&lt;/font&gt;</translation>
    </message>
</context>
</TS>
